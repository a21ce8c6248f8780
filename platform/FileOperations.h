// The page's file operations with Win32 results: booleans, a 32-bit size, and Win32 error numbers
// (0 for success). Paths are UTF-8.
//
// Every file copied into place is written beside its target and renamed over it once complete:
// a copy that fails part-way leaves no partial target, and an existing target as it was.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tvn::platform {

bool pathExists(const std::filesystem::path&);
bool isDirectory(const std::filesystem::path&);
bool isRegularFile(const std::filesystem::path&);
// True only when a folder was created (with its missing parents).
bool makeDirectories(const std::filesystem::path&);
// The low 32 bits of the size, as a signed number; -1 when it cannot be read.
int32_t fileSize32(const std::filesystem::path&);

// One regular file. A source that is not a regular file copies nothing: 0 when it exists (a
// folder), else its error. An existing target is kept (183) unless `overwrite` and it is a regular
// file other than the source.
int copyFile(const std::filesystem::path& from, const std::filesystem::path& to, bool overwrite);
// rename, replacing the target; 0 when both paths are the same.
int movePath(const std::filesystem::path& from, const std::filesystem::path& to);
// A folder with everything in it, anything else alone (a file without write permission is made
// writable first); 0 when nothing was there.
int deletePath(const std::filesystem::path&);

} // namespace tvn::platform
