// Reading bottle.yml, and finding the bottles of a home.

#include "wine/Bottles.h"

#include "wine/Folders.h"

#include <yaml-cpp/yaml.h>

namespace tvn::wine {

namespace {

// A scalar's text; "" for anything else (a missing key, a list, a mapping).
std::string scalar(const YAML::Node& node)
{
    return node && node.IsScalar() ? node.Scalar() : std::string();
}

} // namespace

std::optional<BottleFile> parseBottleFile(std::string_view text)
{
    try {
        const YAML::Node root = YAML::Load(std::string(text));
        if (!root.IsMap())
            return std::nullopt;
        return BottleFile { scalar(root["Name"]), scalar(root["Runner"]), scalar(root["Arch"]) };
    } catch (const YAML::Exception&) {
        return std::nullopt;
    }
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
            std::error_code error;
            if (std::filesystem::exists(file, error)) {
                if (const auto config = parseBottleFile(readText(file))) {
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
