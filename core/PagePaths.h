// The paths the page names, as this process finds them: Windows paths through the drive table of
// the machine being repaired (a Wine prefix: config.ini [system] wineprefix, else $WINEPREFIX,
// else ~/.wine with a drive_c; without one, drive_c in the application-data folder), native paths
// as they are. Any thread.
#pragma once

#include "wine/DriveMap.h"

#include <filesystem>
#include <string_view>

namespace tvn {

// The table for the current configuration and environment (worked out again when either changes).
wine::DriveTable currentDriveTable();

// Where a Windows path on a drive the table does not map leads: below a file, so that it names
// nothing and every operation on it fails as on a missing drive (ERROR_PATH_NOT_FOUND).
inline constexpr std::string_view kUnmappedDrive = "/dev/null";

// A path from the page, mapped; a Windows path whose drive is not in the table is kUnmappedDrive
// joined with the path as written.
std::filesystem::path pagePath(std::string_view path);

} // namespace tvn
