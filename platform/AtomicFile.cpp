// Atomic file replacement with POSIX calls: a temporary file beside the target (O_EXCL), write,
// fsync, rename over the target, fsync of the folder.

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

std::error_code copyContent(int source, int destination, const std::function<void(uint64_t)>& copied, uint64_t step)
{
    for (bool kernelCopy = true;;) {
        if (kernelCopy) {
            const ssize_t done = ::copy_file_range(source, nullptr, destination, nullptr, step, 0);
            if (done > 0) {
                if (copied)
                    copied(static_cast<uint64_t>(done));
                continue;
            }
            if (done == 0)
                return {};
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
                kernelCopy = false; // file systems or kernels that cannot: copy by hand
                continue;
            }
        } else {
            char buffer[1 << 16];
            const ssize_t read = ::read(source, buffer, sizeof(buffer));
            if (read == 0)
                return {};
            if (read < 0 && errno == EINTR)
                continue;
            if (read > 0) {
                if (const std::error_code error = writeAll(destination, std::string_view(buffer, static_cast<size_t>(read))))
                    return error;
                if (copied)
                    copied(static_cast<uint64_t>(read));
                continue;
            }
        }
        return lastError();
    }
}

AtomicFileWriter::~AtomicFileWriter()
{
    discard();
}

void AtomicFileWriter::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_fd = -1;
    m_temporary.clear();
    m_written = 0;
    m_writingBack = 0;
}

std::error_code AtomicFileWriter::open(const std::filesystem::path& target)
{
    discard();
    m_target = target;
    // O_EXCL with a name unique to this process and call; the mode is 0666 less the umask, or the
    // target's own mode when it exists.
    static std::atomic<unsigned> counter { 0 };
    m_temporary = (target.parent_path() / ("." + target.filename().string() + ".tmp." + std::to_string(::getpid()) + "."
                                              + std::to_string(counter++))).string();
    m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        const std::error_code error = lastError();
        m_temporary.clear();
        return error;
    }
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0)
        ::fchmod(m_fd, existing.st_mode & 07777);
    return {};
}

std::error_code AtomicFileWriter::write(std::string_view bytes)
{
    if (m_fd < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    const std::error_code error = writeAll(m_fd, bytes);
    if (error) {
        discard();
        return error;
    }
    wrote(bytes.size());
    return {};
}

void AtomicFileWriter::wrote(uint64_t bytes)
{
    // Start the disk's writeback of every full step written (it runs while more arrives).
    m_written += bytes;
    if (m_written - m_writingBack >= kWritebackStep) {
        ::sync_file_range(m_fd, static_cast<off_t>(m_writingBack), static_cast<off_t>(m_written - m_writingBack), SYNC_FILE_RANGE_WRITE);
        m_writingBack = m_written;
    }
}

std::error_code AtomicFileWriter::copyFrom(int source)
{
    if (m_fd < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (const std::error_code error = copyContent(source, m_fd, [this](uint64_t bytes) { wrote(bytes); }, kWritebackStep)) {
        discard();
        return error;
    }
    return {};
}

std::error_code AtomicFileWriter::setMode(unsigned mode)
{
    if (m_fd < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    return ::fchmod(m_fd, mode & 07777) == 0 ? std::error_code() : lastError();
}

std::error_code AtomicFileWriter::commit(Replace replace)
{
    if (m_fd < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    std::error_code error;
    if (::fsync(m_fd) != 0)
        error = lastError();
    if (::close(m_fd) != 0 && !error)
        error = lastError();
    m_fd = -1;
    if (!error && replace == Replace::Yes && ::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        error = lastError();
    if (!error && replace == Replace::No && ::renameat2(AT_FDCWD, m_temporary.c_str(), AT_FDCWD, m_target.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without the flag: a hard link fails the same way on an existing name.
        if (errno != EINVAL && errno != ENOSYS)
            error = lastError();
        else if (::link(m_temporary.c_str(), m_target.c_str()) != 0)
            error = lastError();
        else
            ::unlink(m_temporary.c_str());
    }
    if (error) {
        discard();
        return error;
    }
    m_temporary.clear();
    syncFolder(m_target.parent_path());
    return {};
}

std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::optional<unsigned> mode)
{
    AtomicFileWriter writer;
    if (std::error_code error = writer.open(target))
        return error;
    if (mode)
        if (std::error_code error = writer.setMode(*mode))
            return error;
    if (std::error_code error = writer.write(bytes))
        return error;
    return writer.commit();
}

} // namespace tvn::platform
