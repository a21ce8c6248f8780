// The small file-system reads the prefix sources share: a file's text, a folder's subfolders and
// files, whether a program can be run, and what a folder is whatever path reaches it. Reads only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tvn::wine {

// The file's text; "" when it cannot be read.
std::string readText(const std::filesystem::path&);
// The file's text; nullopt when it cannot be opened (most often: it is not there).
std::optional<std::string> readTextIfThere(const std::filesystem::path&);

// What a folder is, whatever path reaches it: two paths name one folder when these are equal.
// One stat, where resolving a real path reads every component's link.
struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FolderIdentity&) const = default;
};
std::optional<FolderIdentity> identityOf(const std::filesystem::path&);

// The path with every link resolved; nullopt when it leads nowhere.
std::optional<std::filesystem::path> realPath(const std::filesystem::path&);

// The last component of a folder's path, which names it ("/a/b/" -> "b").
std::string folderName(const std::filesystem::path& folder);

// The folders inside `folder`, sorted by name; none when it cannot be listed.
std::vector<std::filesystem::path> subfolders(const std::filesystem::path& folder);

// The files of `folder` whose names end in `extension`, sorted by name.
std::vector<std::filesystem::path> filesEndingIn(const std::filesystem::path& folder, std::string_view extension);

// A regular file this user may run.
bool isExecutableFile(const std::filesystem::path&);

} // namespace tvn::wine
