// Finding the Wine prefixes of a home folder: the places the usual tools keep them, each prefix
// with a display name and the tool it came from. A prefix is a folder holding system.reg and
// drive_c; its architecture is the "#arch=" line of its system.reg.
//
// Sources: $WINEPREFIX ("environment"), ~/.wine ("default"), the prefix chosen by hand
// ("chosen"), winetricks' ~/.local/share/wineprefixes/* ("winetricks"), Steam's Proton prefixes
// ("steam": every library of every Steam root, compatdata/<appid>/pfx, named from the app's
// manifest), Bottles' bottles ("bottles", named in bottle.yml) and Lutris' games ("lutris", the
// prefix of each game file, named from pga.db). The same folder reached twice (through links, or
// by two sources) is listed once, by its most specific source. A broken file skips its own entries
// only, and is named among the problems for the caller to log.
//
// Each prefix comes with the wine that runs it: the Proton build that made a Steam prefix, a
// bottle's runner, a Lutris game's Wine build, else the first `wine` on PATH ("" when none).
// The sources live in files of their own (Steam.h, Bottles.h, Lutris.h). Reads files; starts
// nothing.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::wine {

struct WinePrefix {
    std::filesystem::path path;
    std::string name;
    std::string source; // "steam", "bottles", "lutris", "winetricks", "default", "chosen", "environment"
    std::string arch;   // "win32", "win64", or "" when system.reg does not say
    std::filesystem::path wine; // the wine program that runs it; empty when none was found
};

struct PrefixSearch {
    std::filesystem::path home;
    std::string winePrefixVariable; // $WINEPREFIX, empty when unset
    std::string chosen;             // config.ini's [system] wineprefix ("none" and "" choose nothing)
    std::string pathVariable;       // $PATH, where the system's wine is looked for
};

// Whether `folder` holds system.reg and drive_c.
bool isPrefix(const std::filesystem::path& folder);

// The "#arch=" value of the prefix's system.reg (read from its first lines); "" when absent.
std::string prefixArch(const std::filesystem::path& prefix);

struct PrefixList {
    std::vector<WinePrefix> prefixes; // in source order, each folder once
    std::vector<std::string> problems; // "broken <what>: <path>" (or "unreadable ..."), one a file
};

PrefixList findPrefixes(const PrefixSearch&);

// The first executable "wine" in the folders of a PATH value; empty when none.
std::filesystem::path wineOnPath(std::string_view pathVariable);

// `prefix` as `found` lists it (the same folder, whatever path); a prefix found nowhere is described from
// its own files, as chosen by hand, with the system's wine.
WinePrefix describePrefix(const std::filesystem::path& prefix, const PrefixList& found, const PrefixSearch&);

} // namespace tvn::wine
