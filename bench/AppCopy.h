// A copy of the built application folder (tvn and its web extension) for a benchmark run, with
// url.txt naming the page to start on.
#pragma once

#include "tests/support/TempDir.h"

#include <filesystem>
#include <string>

namespace tvn::bench {

// Copies tvn into `dir`/app; its path.
inline std::filesystem::path copyApplication(const std::filesystem::path& dir, const std::string& startUrl)
{
    const auto app = dir / "app";
    std::filesystem::create_directories(app / "webextensions");
    std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / "tvn", app / "tvn");
    std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / "webextensions" / "libtvn-webextension.so",
        app / "webextensions" / "libtvn-webextension.so");
    test::writeFile(app / "url.txt", startUrl);
    std::filesystem::create_directories(dir / "config" / "tvn");
    return app / "tvn";
}

} // namespace tvn::bench
