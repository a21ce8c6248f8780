// The Wine prefix this process repairs, with the wine that runs it, and the user's choice of it.
//
// The choice lives in config.ini as [system] wineprefix: a prefix's folder, or "none" for tvn's
// own drive_c; without it, $WINEPREFIX, else ~/.wine. Choosing writes the file and takes effect at
// once here (the drive map, installed programs, registration, installers) and at the next start.
// Any thread.
#pragma once

#include "wine/ImportWalk.h"
#include "wine/Prefixes.h"

#include <optional>
#include <string>
#include <string_view>

namespace tvn {

// What the prefixes of this user's home are looked for with: $HOME, $WINEPREFIX, the choice and
// $PATH.
wine::PrefixSearch currentPrefixSearch();

// The prefix in use, described as the search finds it; nullopt when tvn uses its own drive_c.
// Worked out again when the choice or the environment changes.
std::optional<wine::WinePrefix> currentWinePrefix();

// Where Wine's loader looks for a program's DLLs in the prefix in use (or tvn's own drive_c), and
// the wine that runs it (the one on PATH without a prefix).
wine::LoaderFolders currentLoaderFolders();

// Makes `path` the prefix in use: "" means tvn's own drive_c. Returns "" when done, else why not
// (nothing is changed then).
std::string useWinePrefix(std::string_view path);

} // namespace tvn
