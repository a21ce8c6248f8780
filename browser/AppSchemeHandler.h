// The "app" scheme in the browser process: each request is answered from the resource packs
// beside the executable, read on a worker thread so that a large entry never stalls the window.
#pragma once

#include <filesystem>
#include <webkit2/webkit2.h>

namespace tvn {

void registerAppScheme(WebKitWebContext*, const std::filesystem::path& appFolder);

} // namespace tvn
