// The page's file dialog ("openFileDialog", called by the sys module): a GTK file chooser owned by
// the main window, answered with {"files": [the chosen paths]}; a cancelled dialog is not answered.
//
// The one parameter is a dictionary: "mode" (an integer, or a string read with atoi: 0 open,
// 1 open several, 2 choose a folder, 3 save, in the low byte; 0x01000000 asks before overwriting),
// "title", "default_path", "accept_filters" (split at ","; ".ext", "type/subtype", or
// "Description|.ext1;.ext2"). Any other number of parameters shows nothing.
#pragma once

#include <functional>
#include <gtk/gtk.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tvn {

struct FileDialogRequest {
    int mode = 0;
    std::string title = "select a file";
    std::string defaultPath;
    std::vector<std::string> filters;
};

enum FileDialogMode : int {
    kFileOpen = 0,
    kFileOpenMultiple = 1,
    kFileOpenFolder = 2,
    kFileSave = 3,
};
inline constexpr int kFileDialogTypeMask = 0xFF;
inline constexpr int kFileDialogOverwritePrompt = 0x01000000;

// The request in a call's argument list; nullopt unless the list has exactly one element.
std::optional<FileDialogRequest> fileDialogRequest(const nlohmann::json& arguments);

// One accept filter as the chooser takes it: a name, glob patterns and MIME types.
struct FileFilterSpec {
    std::string name;
    std::vector<std::string> patterns;
    std::vector<std::string> mimeTypes;
};
FileFilterSpec fileFilterSpec(const std::string& filter);

// Shows the dialog; `chosen` gets the paths when the user picked at least one.
void runFileDialog(GtkWindow* owner, const FileDialogRequest&, std::function<void(std::vector<std::string> paths)> chosen);

} // namespace tvn
