// Steam's Proton prefixes: the Steam roots of a home (native, ~/.steam/steam, Flatpak, Snap), the
// libraries of each (steamapps/libraryfolders.vdf), each library's compatdata/<appid>/pfx named
// from the app's manifest, and the Proton build that made each prefix (its config_info). Reads
// files only.
#pragma once

#include "wine/Prefixes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tvn::wine {

// The Steam roots of a home that exist, each once by its real path.
std::vector<std::filesystem::path> steamRoots(const std::filesystem::path& home);

struct SteamLibraries {
    std::vector<std::filesystem::path> folders;
    std::string problem; // a libraryfolders.vdf that is there but broken, else ""
};

// The library folders of a Steam root: the root itself and every "path" of its
// steamapps/libraryfolders.vdf (both the current and the old layout), each once by its real path.
// A missing or broken file leaves the root alone.
SteamLibraries steamLibraries(const std::filesystem::path& root);

// Every Proton prefix of the home ("steam"), with its wine when Proton's is there: the Proton build
// its compatdata folder's config_info names (<build>/files/bin/wine, or dist/bin/wine in older
// builds); empty when there is none.
PrefixList steamPrefixes(const std::filesystem::path& home);

} // namespace tvn::wine
