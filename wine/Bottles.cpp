// Reading bottle.yml.

#include "wine/Bottles.h"

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

} // namespace tvn::wine
