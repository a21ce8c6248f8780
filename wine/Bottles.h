// A Bottles bottle's bottle.yml: the bottle's display name, the runner (the Wine build) it runs
// under and its architecture. YAML, read with yaml-cpp; a file that is not a YAML mapping is no
// bottle file at all. Reads text; touches nothing.
#pragma once

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

} // namespace tvn::wine
