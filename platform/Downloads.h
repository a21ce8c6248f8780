// Where a user's downloads go: the desktop's Downloads folder as xdg-user-dirs keeps it
// ($XDG_CONFIG_HOME/user-dirs.dirs, XDG_DOWNLOAD_DIR), and a name in it that no file has yet, so
// that a download never replaces something the user keeps there.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace tvn::platform {

// XDG_DOWNLOAD_DIR in a user-dirs.dirs file's text: "$HOME/..." or an absolute path, in double
// quotes (backslash escapes a character). Nullopt when the file names none of those forms.
std::optional<std::filesystem::path> downloadFolderFromUserDirs(std::string_view text, const std::filesystem::path& home);

// The Downloads folder; $HOME when the user has none configured (as xdg-user-dir answers).
std::filesystem::path userDownloadFolder();

// `name` in `folder`, or "stem (1).ext", "stem (2).ext", ... when that is taken; `name` itself
// again past 999 (the caller's write then fails or replaces, as it would have).
std::filesystem::path freeFileName(const std::filesystem::path& folder, const std::string& name);

} // namespace tvn::platform
