// The page's context menu: trimmed of navigation, and, on a developer's machine (a marker file
// "dev.$$$" beside the executable or at the file system's root), with "&Reload" (bypassing the
// cache) and "&Show DevTools" (WebKit's inspector) at its end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <webkit2/webkit2.h>

namespace tvn {

// Whether the developer items are offered: "dev.$$$" in `executableFolder`, or `rootMarker`.
bool developerMenuEnabled(const std::filesystem::path& executableFolder, const std::filesystem::path& rootMarker = "/dev.$$$");

// A Windows menu label ("&Reload") as GTK writes it ("_Reload"; "&&" is a plain "&").
std::string gtkMnemonic(std::string_view label);

// Connects the trimming to `view`; with `developer`, the two items are added and act on the view.
void setUpContextMenu(WebKitWebView* view, bool developer);

} // namespace tvn
