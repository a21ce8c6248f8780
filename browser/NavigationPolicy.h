// Where the page's view may go. The main frame stays on the start origin: a link, a form, a script
// or a window.open that leads anywhere else is stopped before anything of it is shown, and web
// addresses open in the desktop's default browser instead; a file dropped on the window never
// becomes the page. Frames inside the page load what they like (they never get `module`), but a
// link followed in one to elsewhere opens outside too.
#pragma once

#include <string>
#include <string_view>
#include <vector>
#include <webkit2/webkit2.h>

namespace tvn {

enum class NavigationVerdict {
    Stay,          // the view loads it
    OpenOutside,   // the desktop's default browser gets it; the view stays
    Refuse,        // nothing happens
};

// The verdict for a main-frame navigation to `url`, or a new window for it; `droppedFile` when the
// URL is a file that was dragged onto the window.
NavigationVerdict navigationVerdict(std::string_view url, std::string_view startOrigin, bool droppedFile);

// Applies the verdicts to `view` for as long as it lives.
void guardNavigation(WebKitWebView* view, std::string startOrigin);

// The files of the drag that entered `view` last: navigations to them are drops.
void noteDraggedFiles(WebKitWebView* view, std::vector<std::string> files);

} // namespace tvn
