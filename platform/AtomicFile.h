// Replacing a file's content so that a crash or power loss leaves the old content or the new one,
// never a torn mixture: write a temporary file in the same folder, flush it, rename it over the
// target, flush the folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <system_error>

namespace tvn::platform {

// Every byte written to `fd` (EINTR and short writes taken care of); an empty error_code when done.
std::error_code writeAll(int fd, std::string_view bytes);

// Everything readable from `source` appended to `destination` (file descriptors, each at its own
// offset), with the kernel's copy where the file systems allow it, in steps of at most `step`
// bytes; `copied` hears each step's length.
std::error_code copyContent(int source, int destination, const std::function<void(uint64_t)>& copied = {}, uint64_t step = 1u << 30);

// An empty error_code on success. On failure the target is untouched and no temporary file is left.
// `mode`, when given, is the file's permissions (else the target's own, or 0666 less the umask).
std::error_code writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::optional<unsigned> mode = {});

// The same, for content that arrives in pieces: open() makes the temporary file, write() appends,
// commit() puts it in place. A long file is handed to the disk in steps as it is written, so that
// the final flush finds little left to do. Destroyed without a successful commit, it removes the temporary file.
//
// States: closed -> open (open) -> committed (commit) | discarded (destructor, or a failure).
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    std::error_code open(const std::filesystem::path& target);
    std::error_code write(std::string_view bytes);
    // Appends everything readable from `source` (a file descriptor), with the kernel's copy where
    // it can.
    std::error_code copyFrom(int source);
    // The permissions the file will have (else the target's own, or 0666 less the umask).
    std::error_code setMode(unsigned mode);
    // Replace::No fails with EEXIST, leaving the target alone, when a target exists by then.
    enum class Replace { Yes, No };
    std::error_code commit(Replace = Replace::Yes);

private:
    static constexpr uint64_t kWritebackStep = 8u << 20;

    void discard();
    // Counts bytes written and hands each full step to the disk.
    void wrote(uint64_t bytes);

    std::filesystem::path m_target;
    std::string m_temporary;
    int m_fd = -1;
    uint64_t m_written = 0;     // bytes written so far
    uint64_t m_writingBack = 0; // bytes handed to the disk's writeback already
};

} // namespace tvn::platform
