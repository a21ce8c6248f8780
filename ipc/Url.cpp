// URLs through GUri.

#include "ipc/Url.h"

#include "platform/GRef.h"
#include "util/Strings.h"

#include <algorithm>
#include <cctype>
#include <glib.h>

namespace tvn {

namespace {

bool hasUnsafeCharacter(std::string_view text)
{
    for (const char c : text)
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

// A host name of letters, digits, "-", ".", "_" and "~", or an IPv6 literal. Anything else is where
// parsers part ways: GUri ends the user part at the first "@" and browsers and curl at the last, so
// "http://a@127.0.0.1@example.com/" has the host "127.0.0.1@example.com" here and "example.com"
// there. A host with a ":" must be a real IPv6 address: GUri decodes "%3a" in a host, and a name
// with one in it, bracketed as a literal, would name something else when parsed again.
bool isPlainHost(std::string_view host)
{
    if (host.find(':') != std::string_view::npos)
        return g_hostname_is_ip_address(std::string(host).c_str());
    return std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~';
    });
}

} // namespace

std::optional<Url> parseUrl(std::string_view text)
{
    if (hasUnsafeCharacter(text))
        return std::nullopt;
    const std::string owned(text);
    GUnique<GUri> uri(g_uri_parse(owned.c_str(), G_URI_FLAGS_ENCODED, nullptr));
    if (!uri)
        return std::nullopt;
    Url url;
    url.scheme = asciiLower(g_uri_get_scheme(uri.get()));
    if (const char* host = g_uri_get_host(uri.get())) {
        if (!isPlainHost(host))
            return std::nullopt;
        url.hasHost = true;
        url.host = asciiLower(host);
        // GUri hands an IPv6 literal back without its brackets; an origin spells it with them.
        if (url.host.find(':') != std::string::npos)
            url.host = "[" + url.host + "]";
    }
    url.port = g_uri_get_port(uri.get());
    url.path = g_uri_get_path(uri.get());
    return url;
}

int defaultPort(std::string_view scheme)
{
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    return -1;
}

std::string authorityOf(const Url& url)
{
    if (url.port < 0 || url.port == defaultPort(url.scheme))
        return url.host;
    return url.host + ":" + std::to_string(url.port);
}

bool hasDotStep(std::string_view path)
{
    for (const std::string& step : splitNonEmpty(path, '/'))
        if (step == "." || step == "..")
            return true;
    return false;
}

} // namespace tvn
