// Windows paths on Linux. A path that begins with a drive letter and a colon ("C:\Windows",
// "c:/x") is a Windows path: its drive is looked up in the drive table and the rest is walked
// below it, each component matched without regard to case when the exact name is missing (as
// Windows and Wine match them; a component that does not exist keeps the page's spelling), and
// ".." never climbs above the drive's root. Any other path is native and stays as it is.
//
// The drive table is a Wine prefix's when there is one (its dosdevices/<letter>: links, as Wine
// resolves them); without a prefix, C: is the folder drive_c in the application-data folder.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::wine {

struct DriveTable {
    std::map<char, std::filesystem::path> drives; // lower-case letter -> native folder
    std::optional<std::filesystem::path> winePrefix;
};

// "C:..." or "c:..." (a letter and a colon).
bool isWindowsPath(std::string_view path);

// The native path for a path the page gave: a Windows path mapped through `table` (nullopt when its
// drive is not in the table), any other path as it is.
std::optional<std::filesystem::path> nativePath(std::string_view path, const DriveTable& table);

// The prefix to use: `configured` (config.ini [system] wineprefix; "none" turns prefixes off), else
// `environment` ($WINEPREFIX), else `home`/.wine when it holds drive_c. nullopt for none.
std::optional<std::filesystem::path> chooseWinePrefix(std::string_view configured, std::string_view environment, const std::filesystem::path& home);

// The drives of a prefix: each dosdevices/<letter>: link, resolved (a relative link from the
// dosdevices folder); a link that leads nowhere is left out.
DriveTable prefixDriveTable(const std::filesystem::path& prefix);
// Without a prefix: C: is `applicationData`/drive_c.
DriveTable defaultDriveTable(const std::filesystem::path& applicationData);

} // namespace tvn::wine
