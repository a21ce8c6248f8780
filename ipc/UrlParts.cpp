// URL parts.

#include "ipc/UrlParts.h"

#include "util/Strings.h"

namespace tvn {

std::optional<UrlParts> splitUrl(std::string_view url)
{
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0 || url.substr(colon + 1, 2) != "//")
        return std::nullopt;
    UrlParts parts { asciiLower(url.substr(0, colon)), {}, {} };
    std::string_view rest = url.substr(colon + 3);
    rest = rest.substr(0, rest.find_first_of("?#"));
    const size_t slash = rest.find('/');
    parts.authority = rest.substr(0, slash);
    parts.path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (const size_t at = parts.authority.rfind('@'); at != std::string_view::npos)
        parts.authority.remove_prefix(at + 1);
    return parts;
}

std::string_view hostOf(std::string_view authority)
{
    if (authority.starts_with('['))
        return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

bool hasDotStep(std::string_view path)
{
    for (const std::string& step : splitNonEmpty(path, '/'))
        if (step == "." || step == "..")
            return true;
    return false;
}

} // namespace tvn
