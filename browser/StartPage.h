// The start page: url.txt beside the executable (its text, unchanged), else the resource pack
// dist.pak, else the dist folder's index.html (two levels up, as the build tree lays it out, else
// beside the executable).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tvn {

struct StartPage {
    std::string url;
    std::string logLine; // what the choice is logged as
};

StartPage chooseStartPage(const std::filesystem::path& appFolder, std::string_view bdVid);

// The origin a URL belongs to, for deciding which frames get `module`: "scheme://host[:port]",
// "file://" for local files; "" for URLs without one (about:blank, data:).
std::string urlOrigin(std::string_view url);

} // namespace tvn
