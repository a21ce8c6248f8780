// Where the servers are: the API server (download addresses, heartbeat) and the reporting server.
//
// A vendor build names them when it is built; config.ini may override them (section "server": api,
// report, each "host" or "host:port"; ca, a bundle of authorities to trust besides the system's).
// A build that names none and a configuration that adds none contact nobody: the connection then
// has no host and every request fails at once.
#pragma once

#include "net/HttpRequest.h"

#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct ServerAddress {
    std::string host;
    uint16_t port = 443;
};

// "host" or "host:port"; a port that is not a number from 1 to 65535 leaves the whole text as the
// host (which then fails to resolve rather than reaching an unintended port).
ServerAddress parseServerAddress(std::string_view text);

HttpConnection apiServer();
HttpConnection reportServer();

// The hosts besides the API server's that may serve a file without a digest: config.ini's
// [server] downloadHosts, names separated by commas or blanks.
std::vector<std::string> trustedDownloadHosts();

// The most a download may bring when nothing smaller is known: [server] maxDownloadMiB (a whole
// number of MiB above 0), else 4096 MiB.
uint64_t maxDownloadBytes();

// The fixed value of the "referer" header of the API calls.
std::string refererValue();

// The system's product code, sent in the servers' headers and fields.
inline constexpr std::string_view kProductCode = "tvn";

} // namespace tvn
