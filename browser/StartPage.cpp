// Choosing the start page.

#include "browser/StartPage.h"

#include "util/Strings.h"

#include <fstream>
#include <iterator>

namespace tvn {

namespace {

// The file in text mode: each CR LF pair becomes LF; nothing else changes.
std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string text { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    std::string converted;
    converted.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        converted += text[i];
    }
    return converted;
}

} // namespace

StartPage chooseStartPage(const std::filesystem::path& appFolder, std::string_view bdVid)
{
    std::error_code error;
    if (std::filesystem::exists(appFolder / "url.txt", error)) {
        std::string url = readText(appFolder / "url.txt");
        return { url, "open from url.txt, " + url };
    }
    if (std::filesystem::exists(appFolder / "dist.pak", error))
        return { "app://dist.pak/index.html?bd_vid=" + std::string(bdVid), "open from dist.pak" };

    std::filesystem::path page = appFolder / ".." / ".." / "dist" / "index.html";
    if (!std::filesystem::exists(page, error))
        page = appFolder / "dist" / "index.html";
    // The path as it stands (".." kept, nothing encoded); "file://" and an absolute path give the
    // three slashes of a local file URL.
    return { "file://" + page.string() + "?bd_vid=" + std::string(bdVid), "open from dist, " + page.string() };
}

std::string urlOrigin(std::string_view url)
{
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || url.substr(colon + 1, 2) != "//")
        return {};
    const std::string scheme = asciiLower(url.substr(0, colon));
    if (scheme == "file")
        return "file://";
    std::string_view authority = url.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    return scheme + "://" + asciiLower(authority);
}

} // namespace tvn
