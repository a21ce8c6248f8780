// The API server's two calls: the heartbeat, which yields the download token, and the download
// address of one file. Both run synchronously on the calling thread (at most about 10 s) and log
// every step at info severity.
#pragma once

#include <string>
#include <string_view>

namespace tvn {

// Where one file is: its address and, when the server gives one, the SHA-256 it must have (64
// lower-case hex digits; empty when none was given).
struct DownloadAddress {
    std::string url;
    std::string sha256;
};

// GET /v3/software/downloadUrl?fileName=..&fileType=..&product=tolvaneFile with the token: the
// answer's data.url and data.sha256; an empty url on any failure, and for an answer whose
// "sha256" is not 64 hex digits (a digest that cannot be checked is not trusted).
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
