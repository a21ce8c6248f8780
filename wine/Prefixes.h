// Finding the Wine prefixes of a home folder: the places the usual tools keep them, each prefix
// with a display name and the tool it came from. A prefix is a folder holding system.reg and
// drive_c; its architecture is the "#arch=" line of its system.reg.
//
// Sources so far: $WINEPREFIX ("environment"), ~/.wine ("default"), winetricks'
// ~/.local/share/wineprefixes/* ("winetricks"), and Steam's Proton prefixes ("steam": every
// library of every Steam root, compatdata/<appid>/pfx, named from the app's manifest). The same
// folder reached twice (through links, or by two sources) is listed once, by its most specific
// source. A broken file skips its own entries only, and is named among the problems for the caller
// to log. Reads files; starts nothing.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tvn::wine {

struct WinePrefix {
    std::filesystem::path path;
    std::string name;
    std::string source; // "steam", "winetricks", "default", "environment"
    std::string arch;   // "win32", "win64", or "" when system.reg does not say
};

struct PrefixSearch {
    std::filesystem::path home;
    std::string winePrefixVariable; // $WINEPREFIX, empty when unset
};

// Whether `folder` holds system.reg and drive_c.
bool isPrefix(const std::filesystem::path& folder);

// The "#arch=" value of the prefix's system.reg (read from its first lines); "" when absent.
std::string prefixArch(const std::filesystem::path& prefix);

// The Steam roots of a home (native, ~/.steam/steam, Flatpak, Snap) that exist, each once by its
// real path.
std::vector<std::filesystem::path> steamRoots(const std::filesystem::path& home);

struct SteamLibraries {
    std::vector<std::filesystem::path> folders;
    std::string problem; // a libraryfolders.vdf that is there but broken, else ""
};

// The library folders of a Steam root: the root itself and every "path" of its
// steamapps/libraryfolders.vdf (both the current and the old layout), each once by its real path.
// A missing or broken file leaves the root alone.
SteamLibraries steamLibraries(const std::filesystem::path& root);

struct PrefixList {
    std::vector<WinePrefix> prefixes; // in source order, each folder once
    std::vector<std::string> problems; // "broken <what>: <path>", one a file
};

PrefixList findPrefixes(const PrefixSearch&);

} // namespace tvn::wine
