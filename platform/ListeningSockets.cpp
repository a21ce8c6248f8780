// The kernel's TCP socket tables.

#include "platform/ListeningSockets.h"

#include "util/Strings.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tvn::platform {

namespace {

constexpr std::string_view kListen = "0A";
constexpr std::array<uint8_t, 16> kAny {};

std::array<uint8_t, 16> mappedIpv4(const uint8_t (&bytes)[4])
{
    std::array<uint8_t, 16> address {};
    address[10] = address[11] = 0xff;
    std::memcpy(address.data() + 12, bytes, 4);
    return address;
}

// "0100007F" or four such words: each word is the kernel's 32-bit value as it lies in memory,
// printed as a number.
std::optional<std::array<uint8_t, 16>> parseAddress(std::string_view hex)
{
    if (hex.size() != 8 && hex.size() != 32)
        return std::nullopt;
    uint8_t bytes[16] {};
    for (size_t word = 0; word * 8 < hex.size(); ++word) {
        uint32_t value = 0;
        const char* begin = hex.data() + word * 8;
        const auto [end, error] = std::from_chars(begin, begin + 8, value, 16);
        if (error != std::errc() || end != begin + 8)
            return std::nullopt;
        std::memcpy(bytes + word * 4, &value, 4);
    }
    if (hex.size() == 8) {
        const uint8_t ipv4[4] = { bytes[0], bytes[1], bytes[2], bytes[3] };
        return mappedIpv4(ipv4);
    }
    std::array<uint8_t, 16> address {};
    std::memcpy(address.data(), bytes, 16);
    return address;
}

std::optional<ListeningSocket> parseLine(const std::string& line)
{
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid) || state != kListen)
        return std::nullopt;
    const size_t colon = local.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    ListeningSocket socket;
    const auto address = parseAddress(std::string_view(local).substr(0, colon));
    const std::string_view port = std::string_view(local).substr(colon + 1);
    unsigned long owner = 0;
    if (!address || port.size() != 4 || std::from_chars(port.data(), port.data() + 4, socket.port, 16).ec != std::errc()
        || std::from_chars(uid.data(), uid.data() + uid.size(), owner).ec != std::errc())
        return std::nullopt;
    socket.address = *address;
    socket.owner = static_cast<uid_t>(owner);
    return socket;
}

bool isWildcard(const std::array<uint8_t, 16>& address)
{
    static const std::array<uint8_t, 16> mappedAny = [] {
        const uint8_t zero[4] {};
        return mappedIpv4(zero);
    }();
    return address == kAny || address == mappedAny;
}

std::string readTable(const char* path)
{
    std::ifstream file(path);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

} // namespace

std::vector<ListeningSocket> parseListeningSockets(std::string_view table)
{
    std::vector<ListeningSocket> sockets;
    std::istringstream lines { std::string(table) };
    for (std::string line; std::getline(lines, line);)
        if (const auto socket = parseLine(line))
            sockets.push_back(*socket);
    return sockets;
}

std::vector<std::array<uint8_t, 16>> loopbackAddresses(std::string_view host)
{
    std::array<uint8_t, 16> ipv6Loopback {};
    ipv6Loopback[15] = 1;
    const uint8_t localIpv4[4] = { 127, 0, 0, 1 };
    const std::string name = asciiLower(host);
    if (name == "localhost")
        return { mappedIpv4(localIpv4), ipv6Loopback };
    if (name == "[::1]")
        return { ipv6Loopback };
    uint8_t ipv4[4] {};
    if (inet_pton(AF_INET, name.c_str(), ipv4) == 1 && ipv4[0] == 127)
        return { mappedIpv4(ipv4) };
    return {};
}

std::optional<uid_t> listenerOwner(const std::vector<ListeningSocket>& sockets,
    const std::vector<std::array<uint8_t, 16>>& addresses, uint16_t port)
{
    std::optional<uid_t> owner;
    for (const ListeningSocket& socket : sockets) {
        if (socket.port != port)
            continue;
        bool takes = isWildcard(socket.address);
        for (const auto& address : addresses)
            takes = takes || socket.address == address;
        if (!takes)
            continue;
        if (owner && *owner != socket.owner)
            return std::nullopt;
        owner = socket.owner;
    }
    return owner;
}

std::optional<uid_t> loopbackListenerOwner(std::string_view host, uint16_t port)
{
    std::vector<ListeningSocket> sockets = parseListeningSockets(readTable("/proc/net/tcp"));
    for (ListeningSocket& socket : parseListeningSockets(readTable("/proc/net/tcp6")))
        sockets.push_back(socket);
    return listenerOwner(sockets, loopbackAddresses(host), port);
}

} // namespace tvn::platform
