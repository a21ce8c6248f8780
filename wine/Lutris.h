// Lutris' files: a game's configuration (games/<name>.yml: the Wine prefix under "game: prefix:",
// the Wine build under "wine: version:") and its library database pga.db (SQLite), whose
// "games" table gives each configuration file's game its display name. Reads files, opening the
// database read-only; writes nothing.
#pragma once

#include "wine/Prefixes.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::wine {

struct LutrisGameFile {
    std::string prefix;      // as written ("~/" is the home's), "" when the game names none
    std::string wineVersion; // a folder under Lutris' runners/wine/, "" when the default
};

// nullopt when the text is not a YAML mapping.
std::optional<LutrisGameFile> parseLutrisGameFile(std::string_view text);

struct LutrisNames {
    std::map<std::string, std::string> byConfigPath; // configpath (the game file's stem) -> name
    std::string problem; // a database that is there but cannot be read, else ""
};

// The names of pga.db's games. A missing database is no names and no problem; a locked or damaged
// one is no names and a problem.
LutrisNames lutrisGameNames(const std::filesystem::path& database);

// The prefix of every game file in ~/.config/lutris/games and ~/.local/share/lutris/games
// ("lutris"), named from pga.db (else the file's name), with the game's Wine build when that is
// under Lutris' runners/wine/.
PrefixList lutrisPrefixes(const std::filesystem::path& home);

} // namespace tvn::wine
