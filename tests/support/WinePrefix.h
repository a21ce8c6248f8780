// A Wine prefix laid out for a test as wineboot leaves one: drive_c with windows/system32 and
// syswow64, dosdevices/c: leading to it, and a system.reg that names the architecture ("win64",
// "win32", or "" for a file without the line).
#pragma once

#include "tests/support/TempDir.h"

#include <filesystem>
#include <string>

namespace tvn::test {

inline void makeWinePrefix(const std::filesystem::path& folder, const std::string& arch)
{
    std::filesystem::create_directories(folder / "drive_c" / "windows" / "system32");
    std::filesystem::create_directories(folder / "drive_c" / "windows" / "syswow64");
    std::filesystem::create_directories(folder / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", folder / "dosdevices" / "c:");
    writeFile(folder / "system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n" + (arch.empty() ? "" : "#arch=" + arch + "\n")
            + "\n[Software] 1\n");
}

} // namespace tvn::test
