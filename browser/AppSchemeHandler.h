// The "app" scheme in the browser process: each request is answered from the resource packs
// beside the executable, or from the dist folder when that is the start page's source, read on a
// worker thread so that a large entry never stalls the window.
#pragma once

#include <filesystem>
#include <webkit2/webkit2.h>

namespace tvn {

void registerAppScheme(WebKitWebContext*, const std::filesystem::path& appFolder, const std::filesystem::path& distFolder);

} // namespace tvn
