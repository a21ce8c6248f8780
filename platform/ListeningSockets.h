// Who listens on a local TCP port: the kernel's socket tables (/proc/net/tcp and tcp6) read for
// the sockets in the listening state, with the user that owns each.
//
// A loopback address is no proof of whose server answers: any local user may bind a free port.
// The start page on a loopback http address is trusted only when every socket that could take the
// connection belongs to this user.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tvn::platform {

struct ListeningSocket {
    std::array<uint8_t, 16> address {}; // IPv4 as ::ffff:a.b.c.d
    uint16_t port = 0;
    uid_t owner = 0;
};

// The listening sockets of one table's text (the tcp or tcp6 layout); lines that do not parse are
// skipped.
std::vector<ListeningSocket> parseListeningSockets(std::string_view table);

// The addresses a loopback host name stands for: "localhost" is 127.0.0.1 and ::1; "127.a.b.c" and
// "[::1]" themselves. Empty for any other host.
std::vector<std::array<uint8_t, 16>> loopbackAddresses(std::string_view host);

// The owner of the sockets that could take a connection to one of `addresses` on `port` (those
// bound to that address or to the wildcard). nullopt when none listens, or when they belong to
// more than one user.
std::optional<uid_t> listenerOwner(const std::vector<ListeningSocket>& sockets,
    const std::vector<std::array<uint8_t, 16>>& addresses, uint16_t port);

// The same, read from this machine's tables.
std::optional<uid_t> loopbackListenerOwner(std::string_view host, uint16_t port);

} // namespace tvn::platform
