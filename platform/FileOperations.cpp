// File operations on std::filesystem and POSIX calls.

#include "platform/FileOperations.h"

#include "platform/AtomicFile.h"
#include "platform/FileDescriptor.h"
#include "platform/Win32Error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

// The Win32 number for a failed stat of `path`.
int statError(const std::filesystem::path& path, int error)
{
    return error == ENOENT ? notFoundError(path) : win32Error(error);
}

// The target's folder missing is "path not found", as Windows names it.
int targetError(const std::error_code& error)
{
    return error.value() == ENOENT ? kErrorPathNotFound : win32Error(error);
}

} // namespace

bool pathExists(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool isDirectory(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool isRegularFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool makeDirectories(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::create_directories(path, error) && !error;
}

int32_t fileSize32(const std::filesystem::path& path)
{
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(info.st_size) & 0xFFFFFFFFu));
}

int copyFile(const std::filesystem::path& from, const std::filesystem::path& to, bool overwrite)
{
    struct stat source;
    if (::stat(from.c_str(), &source) != 0)
        return statError(from, errno);
    if (!S_ISREG(source.st_mode))
        return kErrorSuccess; // a folder, a device: nothing is copied
    struct stat target;
    if (::stat(to.c_str(), &target) == 0) {
        const bool sameFile = target.st_dev == source.st_dev && target.st_ino == source.st_ino;
        if (!overwrite || !S_ISREG(target.st_mode) || sameFile)
            return kErrorAlreadyExists;
    } else if (errno != ENOENT) {
        return statError(to, errno);
    }

    const FileDescriptor input(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (input.get() < 0)
        return win32Error(errno);
    AtomicFileWriter writer;
    if (const std::error_code error = writer.open(to))
        return targetError(error);
    if (const std::error_code error = writer.setMode(source.st_mode))
        return win32Error(error);
    if (const std::error_code error = writer.copyFrom(input.get()))
        return win32Error(error);
    const std::error_code error = writer.commit(overwrite ? AtomicFileWriter::Replace::Yes : AtomicFileWriter::Replace::No);
    return win32Error(error);
}

int movePath(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (from == to)
        return kErrorSuccess;
    if (::rename(from.c_str(), to.c_str()) == 0)
        return kErrorSuccess;
    const int error = errno;
    if (error == ENOENT) {
        struct stat info;
        return ::lstat(from.c_str(), &info) != 0 ? notFoundError(from) : kErrorPathNotFound;
    }
    return win32Error(error);
}

int deletePath(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return kErrorSuccess;
    if (error)
        return win32Error(error);
    if (status.type() == std::filesystem::file_type::directory) {
        std::filesystem::remove_all(path, error);
        return win32Error(error);
    }
    // A read-only file loses its read-only attribute first, as on Windows.
    if (status.type() == std::filesystem::file_type::regular && (status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
        std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add, error);
    std::filesystem::remove(path, error);
    return win32Error(error);
}

} // namespace tvn::platform
