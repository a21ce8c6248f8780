// fetchUrlToFile: one URL downloaded into a file, with progress and a cancel check, on the calling
// thread. fetchUrlResuming: the same into a kept part that a cut transfer goes on with.
//
// The body goes to a temporary file beside the target and replaces the target only when the
// transfer completed: a failed or cancelled download leaves the old file (if any) as it was and no
// partial file behind. Certificates are verified as for the servers (the system's authorities and
// config.ini's [server] ca). When a digest is expected, the file must have it before it replaces
// anything.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace tvn {

using DownloadProgressFunction = std::function<void(uint64_t current, uint64_t total)>;
using DownloadCancelFunction = std::function<bool()>;

// Results besides 0 (done), as the page and the engine see them.
inline constexpr int32_t kDownloadNoFolder = 1;                          // the folder cannot be made
inline constexpr int32_t kDownloadAborted = static_cast<int32_t>(0x80004004);   // cancelled
inline constexpr int32_t kDownloadFailed = static_cast<int32_t>(0x800C0008);    // HTTP error status
inline constexpr int32_t kDownloadCannotConnect = static_cast<int32_t>(0x800C0004);
inline constexpr int32_t kDownloadCannotWrite = static_cast<int32_t>(0x80070070); // disk full or the like
inline constexpr int32_t kDownloadError = static_cast<int32_t>(0x80004005);     // any other failure, a limit passed included
inline constexpr int32_t kDownloadBadDigest = static_cast<int32_t>(0x80096010); // not the expected SHA-256 (TRUST_E_BAD_DIGEST)
inline constexpr int32_t kDownloadNoAddress = static_cast<int32_t>(0x80070057); // the server gave no address, or one not trusted (E_INVALIDARG)

// What a transfer may cost. A transfer that brings more than `maxBytes` (or announces more) ends
// at once; one slower than `stallBytesPerSecond` for `stallTime` ends too, so that a server that
// trickles a byte a second holds nothing forever.
struct DownloadLimits {
    uint64_t maxBytes = 0; // 0: the configured most (maxDownloadBytes)
    long stallBytesPerSecond = 1024;
    std::chrono::seconds stallTime { 60 };
};

// Creates the target's missing folders, then downloads. Progress is reported as the transfer goes
// (current and total bytes; total 0 while unknown); a cancel is noticed at the next report.
// `sha256`, when not empty, is the digest the file must have (64 hex digits); it is computed as
// the bytes arrive.
int32_t fetchUrlToFile(const DownloadProgressFunction& progress, const DownloadCancelFunction& cancel, std::string_view url,
    const std::filesystem::path& path, std::string_view sha256 = {}, const DownloadLimits& limits = {});

// What arrived of a file so far, kept between attempts.
struct PartialFile {
    int fd = -1;                         // open for reading and writing; one transfer at a time
    std::filesystem::path validatorFile; // the server's ETag (or Last-Modified) for what fd holds
};

// `url` into a partial file that may hold its start already. A part is asked for the rest
// (Range, and If-Range with the validator the server gave for it); a 206 answer that starts where
// the part ends is appended, a 200 starts over. The progress counts the part kept. 0 only when the
// whole file has `sha256` (64 hex digits); a failed or cancelled transfer keeps what arrived (the
// next attempt resumes it), a file whole but of another digest is emptied. `limits.maxBytes`
// counts the whole file.
int32_t fetchUrlResuming(const DownloadProgressFunction& progress, const DownloadCancelFunction& cancel, std::string_view url,
    const PartialFile& partial, std::string_view sha256, const DownloadLimits& limits = {});

} // namespace tvn
