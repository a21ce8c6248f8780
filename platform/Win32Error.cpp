// errno to Win32 error numbers.

#include "platform/Win32Error.h"

#include <cerrno>
#include <utility>

namespace tvn::platform {

namespace {

constexpr std::pair<int, int> kTable[] = {
    { 0, kErrorSuccess },
    { ENOENT, kErrorFileNotFound },
    { ENOTDIR, kErrorPathNotFound },
    { EMFILE, 4 },   // ERROR_TOO_MANY_OPEN_FILES
    { ENFILE, 4 },
    { EACCES, kErrorAccessDenied },
    { EPERM, kErrorAccessDenied },
    { EISDIR, kErrorAccessDenied },
    { EBADF, 6 },    // ERROR_INVALID_HANDLE
    { ENOMEM, 8 },   // ERROR_NOT_ENOUGH_MEMORY
    { EXDEV, kErrorNotSameDevice },
    { EROFS, 19 },   // ERROR_WRITE_PROTECT
    { EBUSY, kErrorSharingViolation },
    { ETXTBSY, kErrorSharingViolation },
    { EINVAL, kErrorInvalidParameter },
    { ENOSPC, kErrorDiskFull },
    { EDQUOT, kErrorDiskFull },
    { ENOTEMPTY, kErrorDirNotEmpty },
    { EEXIST, kErrorAlreadyExists },
    { ENAMETOOLONG, 206 }, // ERROR_FILENAME_EXCED_RANGE
    { EFBIG, 223 },  // ERROR_FILE_TOO_LARGE
    { EIO, 1117 },   // ERROR_IO_DEVICE
    { ELOOP, 1921 }, // ERROR_CANT_RESOLVE_FILENAME
};

} // namespace

int win32Error(int errnoValue)
{
    for (const auto& [errnoCode, win32] : kTable) {
        if (errnoCode == errnoValue)
            return win32;
    }
    return kErrorGenFailure;
}

int win32Error(const std::error_code& error)
{
    if (!error)
        return kErrorSuccess;
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return kErrorGenFailure;
    return win32Error(error.value());
}

int notFoundError(const std::filesystem::path& path)
{
    std::error_code ignored;
    const std::filesystem::path folder = path.parent_path();
    return folder.empty() || std::filesystem::is_directory(folder, ignored) ? kErrorFileNotFound : kErrorPathNotFound;
}

} // namespace tvn::platform
