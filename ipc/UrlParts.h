// Taking a URL apart, as the start-page rules and the app scheme need it: scheme, authority and
// path, and whether a decoded path steps outside its folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tvn {

struct UrlParts {
    std::string scheme;          // lower case
    std::string_view authority;  // userinfo dropped
    std::string_view path;       // from the first "/" after the authority, query and fragment cut
};

// The parts of "scheme://authority/path?query#fragment"; nullopt without "://".
std::optional<UrlParts> splitUrl(std::string_view url);

// The host of an authority without its port ("[::1]" keeps its brackets).
std::string_view hostOf(std::string_view authority);

// A decoded path with a "." or ".." step anywhere: one that may climb out of its folder.
bool hasDotStep(std::string_view path);

} // namespace tvn
