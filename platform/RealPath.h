// Where a file really is. A file that is served or trusted because it lies in a folder is judged
// by its real path (every link resolved), never by how a request spells it: "a/../../x", an
// absolute right-hand side or a link inside the folder that points out of it all land outside.
#pragma once

#include <filesystem>
#include <optional>

namespace tvn::platform {

// The real path of `path` when it exists and lies strictly inside the real path of `folder`;
// nullopt otherwise (missing, outside, or the folder itself).
std::optional<std::filesystem::path> realPathInside(const std::filesystem::path& folder, const std::filesystem::path& path);

// Whether users other than the folder's owner may add files to it: it is writable by its group or
// by everyone (as /tmp is), or it belongs to someone other than this user and root. A missing
// folder counts as open (nothing known about it is safe).
bool openToOtherUsers(const std::filesystem::path& folder);

} // namespace tvn::platform
