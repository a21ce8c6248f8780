// The API server's two calls: the heartbeat, which yields the download token, and the download
// address of one file. Both run synchronously on the calling thread (at most about 10 s) and log
// every step at info severity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// Where one file is: its address and, when the server gives one, the SHA-256 it must have (64
// lower-case hex digits; empty when none was given).
struct DownloadAddress {
    std::string url;
    std::string sha256;
    uint64_t size = 0; // the file's length in bytes when the server gives it, else 0
    std::vector<std::string> mirrors; // more addresses of the same file, tried in order after url

    // The url, then the mirrors.
    std::vector<std::string> sources() const;
};

// The most mirrors an answer is taken with; those after are ignored.
inline constexpr size_t kMaxMirrors = 8;

// Whether an address may be downloaded: with a digest, any http or https address (the digest
// proves the file); without one, only https on the API server's own host or on a host the
// configuration names (`trustedHosts`, compared without regard to case). nullopt when it may;
// else the reason, naming the host, as it is logged.
std::optional<std::string> downloadAddressRefusal(const DownloadAddress&, std::string_view apiHost,
    const std::vector<std::string>& trustedHosts);

// GET /v3/software/downloadUrl?fileName=..&fileType=..&product=tolvaneFile with the token: the
// answer's data.url, data.sha256, data.size and data.mirrors; an empty url on any failure, and for
// an answer whose "sha256" is not 64 hex digits (a digest that cannot be checked is not trusted).
// A "size" that is not a positive whole number is ignored, and so is a mirror that is not a string.
DownloadAddress getDownloadAddress(std::string_view token, std::string_view fileType, std::string_view fileName);
// The address alone.
std::string getDownloadURLImpl(std::string_view token, std::string_view fileType, std::string_view fileName);

// POST /v3/software/heart with the device id: sets `token` to the answer's data.token; leaves it
// unchanged on any failure.
void postHeartImpl(std::string& token);

// One beat of the periodic heartbeat: a heartbeat with a fresh empty token, then the result
// published on the event bus as "HTTP_GetDownloadToken" (empty after a failure).
void heartbeatOnce();

inline constexpr int kHeartbeatIntervalMs = 180000;

} // namespace tvn
