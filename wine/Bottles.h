// Bottles' bottles: each bottle is a prefix in bottles/<folder>/ of Bottles' data folder (native
// ~/.local/share/bottles, or Flatpak's), described by its bottle.yml (the display name, the runner
// (the Wine build) under the data folder's runners/, the architecture). YAML, read with yaml-cpp;
// a file that is not a YAML mapping is no bottle file at all. Reads files only.
#pragma once

#include "wine/Prefixes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::wine {

struct BottleFile {
    std::string name;   // "Name", "" when missing
    std::string runner; // "Runner": a folder under Bottles' runners/, or "sys-..." for the system's wine
    std::string arch;   // "Arch": "win64" or "win32", "" when missing
};

std::optional<BottleFile> parseBottleFile(std::string_view text);

// Every bottle of the home ("bottles"), named from its bottle.yml (else its folder), with its
// runner's wine when that is there.
PrefixList bottlesPrefixes(const std::filesystem::path& home);

} // namespace tvn::wine
