// Server names from the build and from config.ini.

#include "net/ServerConfig.h"

#include "core/GlobalConfig.h"
#include "net/ServerNames.h"
#include "util/Strings.h"

#include <charconv>

namespace tvn {

namespace {

template<size_t N>
std::string unmask(const unsigned char (&masked)[N])
{
    std::string text;
    for (const unsigned char byte : masked) {
        const char c = static_cast<char>(byte ^ 0x41);
        if (!c)
            break;
        text += c;
    }
    return text;
}

HttpConnection connectionFor(std::string_view key, const std::string& builtIn)
{
    const GlobalConfig& config = GlobalConfig::instance();
    const ServerAddress address = parseServerAddress(config.get("server", key, builtIn));
    return { address.host, address.port, config.get("server", "ca", "") };
}

} // namespace

ServerAddress parseServerAddress(std::string_view text)
{
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view digits = text.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error == std::errc() && end == digits.data() + digits.size() && port >= 1 && port <= 65535)
            return { std::string(text.substr(0, colon)), static_cast<uint16_t>(port) };
    }
    return { std::string(text), 443 };
}

HttpConnection apiServer() { return connectionFor("api", unmask(buildconfig::kApiHost)); }
HttpConnection reportServer() { return connectionFor("report", unmask(buildconfig::kReportHost)); }
std::vector<std::string> trustedDownloadHosts()
{
    std::string hosts = GlobalConfig::instance().get("server", "downloadHosts", "");
    for (char& c : hosts)
        if (c == ',')
            c = ' ';
    std::vector<std::string> names;
    for (const std::string& name : splitNonEmpty(hosts, ' '))
        if (const std::string_view host = trim(name); !host.empty())
            names.emplace_back(host);
    return names;
}

uint64_t maxDownloadBytes()
{
    constexpr uint64_t kMiB = 1024 * 1024;
    const std::string text = GlobalConfig::instance().get("server", "maxDownloadMiB", "");
    uint64_t mebibytes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mebibytes);
    if (error != std::errc() || end != text.data() + text.size() || mebibytes == 0 || mebibytes > (UINT64_MAX / kMiB))
        mebibytes = 4096;
    return mebibytes * kMiB;
}

std::string refererValue() { return unmask(buildconfig::kReferer); }

} // namespace tvn
