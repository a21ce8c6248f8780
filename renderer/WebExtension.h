// The web extension's own state, for code that runs inside the web process beside it.
#pragma once

#include <webkit2/webkit-web-extension.h>

namespace tvn {

// The extension WebKit initialised this process with; null before that.
WebKitWebExtension* currentWebExtension();

} // namespace tvn
