// Downloads WebKit would make on its own. A frame can start one (a link with "download", a
// response WebKit cannot show) and WebKit would save it in the user's Downloads folder without
// asking. tvn downloads only through its own code (checked addresses, digests, limits), so every
// download WebKit starts is cancelled before it writes anything.
#pragma once

#include <webkit2/webkit2.h>

namespace tvn {

// Cancels, and logs, every download started in `context`.
void refuseWebDownloads(WebKitWebContext* context);

} // namespace tvn
