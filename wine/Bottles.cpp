// Reading bottle.yml, and finding the bottles of a home.

#include "wine/Bottles.h"

#include "wine/Folders.h"
#include "wine/YamlMapping.h"

namespace tvn::wine {

std::optional<BottleFile> parseBottleFile(std::string_view text)
{
    const std::optional<YAML::Node> root = yamlMapping(text);
    if (!root)
        return std::nullopt;
    const YAML::Node& map = *root;
    return BottleFile { yamlScalar(map["Name"]), yamlScalar(map["Runner"]), yamlScalar(map["Arch"]) };
}

// Bottles keeps its bottles and its runners side by side in one data folder (two with Flatpak).
PrefixList bottlesPrefixes(const std::filesystem::path& home)
{
    PrefixList list;
    for (const auto& data : { home / ".local" / "share" / "bottles", home / ".var" / "app" / "com.usebottles.bottles" / "data" / "bottles" }) {
        for (const auto& bottle : subfolders(data / "bottles")) {
            if (!isPrefix(bottle))
                continue;
            WinePrefix prefix { bottle, bottle.filename().string(), "bottles", {}, {} };
            const std::filesystem::path file = bottle / "bottle.yml";
            if (const std::optional<std::string> text = readTextIfThere(file)) {
                if (const auto config = parseBottleFile(*text)) {
                    if (!config->name.empty())
                        prefix.name = config->name;
                    // "sys-..." is the system's wine, which the PATH rule finds.
                    if (!config->runner.empty() && !config->runner.starts_with("sys-")
                        && config->runner.find('/') == std::string::npos && isExecutableFile(data / "runners" / config->runner / "bin" / "wine"))
                        prefix.wine = data / "runners" / config->runner / "bin" / "wine";
                } else {
                    list.problems.push_back("broken bottle.yml: " + file.string());
                }
            }
            list.prefixes.push_back(std::move(prefix));
        }
    }
    return list;
}

} // namespace tvn::wine
