// The Win32 error numbers the page was written against, from the errno values of this system: one
// table, so that a page tests the same numbers everywhere.
#pragma once

#include <filesystem>
#include <system_error>

namespace tvn::platform {

inline constexpr int kErrorSuccess = 0;
inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorNotSameDevice = 17;
inline constexpr int kErrorGenFailure = 31;
inline constexpr int kErrorSharingViolation = 32;
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorDiskFull = 112;
inline constexpr int kErrorDirNotEmpty = 145;
inline constexpr int kErrorAlreadyExists = 183;
inline constexpr int kErrorMoreData = 234;
inline constexpr int kErrorCannotOpen = 1009; // ERROR_BADDB

// The Win32 number for an errno value; ERROR_GEN_FAILURE (31) for one the table does not know.
int win32Error(int errnoValue);
int win32Error(const std::error_code&);

// What Windows says of a path that is not there: file not found (2) when its folder exists, path
// not found (3) when the folder is missing too.
int notFoundError(const std::filesystem::path&);

} // namespace tvn::platform
