// URLs as the system judges them (start page, origins, navigation, the app scheme, download
// addresses): parsed by GLib's GUri, one standard parser, so that what is judged is what a browser
// or curl will fetch.
//
// A URL with a backslash or a control character, or a host with anything but letters, digits,
// "-", ".", "_" and "~" (an IPv6 literal aside), is refused outright: parsers disagree on them
// ("http://evil.example\@127.0.0.1/" is loopback to one and evil.example to another, and so is
// "http://a@127.0.0.1@evil.example/").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tvn {

struct Url {
    std::string scheme;   // lower case
    std::string host;     // lower case; empty for "file:///..."; an IPv6 address in brackets
    bool hasHost = false; // "scheme://" was there (about:blank and data: have no authority)
    int port = -1;        // -1 when the URL names none
    std::string path;     // as the URL spells it (percent escapes kept); no query, no fragment
};

// The URL's parts; nullopt when it is not an absolute URL that GUri accepts in its strict mode,
// has a backslash or control character anywhere, or a host that is not plain.
std::optional<Url> parseUrl(std::string_view text);

// The scheme's default port ("http" 80, "https" 443), else -1.
int defaultPort(std::string_view scheme);

// "host" or "host:port", the port left out when it is the scheme's default.
std::string authorityOf(const Url&);

// A decoded path with a "." or ".." step anywhere: one that may climb out of its folder.
bool hasDotStep(std::string_view path);

} // namespace tvn
