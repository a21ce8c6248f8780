// Atomic file replacement with POSIX calls: mkstemp, write, fsync, rename, fsync of the folder.

#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

std::error_code lastError() { return { errno, std::generic_category() }; }

std::error_code writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
}

// The rename is durable only once the folder's entry is on disk too.
void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    const std::filesystem::path folder = target.parent_path();
    // O_EXCL with a name unique to this process and call; the mode is 0666 less the umask, or the
    // target's own mode when it exists.
    static std::atomic<unsigned> counter { 0 };
    const std::string temporary = (folder / ("." + target.filename().string() + ".tmp."
        + std::to_string(::getpid()) + "." + std::to_string(counter++))).string();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return lastError();
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0)
        ::fchmod(fd, existing.st_mode & 07777);

    std::error_code error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = lastError();
    if (::close(fd) != 0 && !error)
        error = lastError();
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = lastError();
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolder(folder);
    return {};
}

} // namespace tvn::platform
