// libFuzzer target: the URL rules that decide what the page may reach (the start page's url.txt,
// origins, the navigation verdict's parser, download addresses' hosts) on arbitrary text.
//
// Properties: a URL with a backslash or a control character is never accepted; an accepted http
// url.txt names a loopback host; an origin is lower case and has no path; a URL belongs to its own
// origin.

#include "tests/fuzz/FuzzInput.h"

#include "window/StartPage.h"
#include "ipc/Url.h"

#include <algorithm>
#include <string>

using namespace tvn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(fuzz::text(data, size));
    const bool unsafe = std::any_of(input.begin(), input.end(), [](char c) { return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
    const auto url = parseUrl(input);
    if (unsafe)
        fuzz::require(!url, "a backslash or control character is refused");

    if (const auto accepted = acceptedUrlTxt(input)) {
        const auto parts = parseUrl(*accepted);
        fuzz::require(parts.has_value(), "an accepted url.txt parses");
        if (parts->scheme == "http")
            fuzz::require(parts->host == "localhost" || parts->host == "[::1]" || parts->host.starts_with("127."), "plain http only on loopback");
    }

    const std::string origin = urlOrigin(input);
    if (!origin.empty()) {
        const auto parsed = parseUrl(origin);
        fuzz::require(parsed && origin == parsed->scheme + "://" + authorityOf(*parsed), "an origin is scheme and authority");
        fuzz::require(std::none_of(origin.begin(), origin.end(), [](char c) { return c >= 'A' && c <= 'Z'; }), "an origin is lower case");
        fuzz::require(inStartOrigin(input, origin), "a URL belongs to its own origin");
    }
    inStartOrigin(input, "app://dist.pak");
    startOriginOf(input);
    return 0;
}
