// Files and drag and drop on the page's view.
//
// Into the page: when a drag enters the view, the files it carries (none, when it carries no file
// list) are reported once, and the page's own drop handling goes on. Out of the page
// ("doDragDrop", called by the dragdrop module): a native drag of the given files, copy only,
// answered when the drag ends, dropped or not.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <webkit2/webkit2.h>

namespace tvn {

// Tells `entered` the files of every drag that enters `view`.
void watchFileDrags(WebKitWebView* view, std::function<void(const std::vector<std::string>& files)> entered);

// Starts dragging `paths` from `source` (a realised widget not otherwise a drag source); paths
// that name no file are left out. When it started, `ended` runs once the drag is over. One drag
// at a time: another is not started while one goes on.
enum class FileDragStart { NoFiles, NotStarted, Started };
FileDragStart startFileDrag(GtkWidget* source, const std::vector<std::string>& paths, std::function<void()> ended);

} // namespace tvn
