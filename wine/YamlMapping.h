// Other programs' YAML files (Bottles' bottle.yml, Lutris' game files) as tvn reads them: the
// top-level mapping, or nothing when the text is not one (malformed text included); a key's text
// when it is a scalar, "" for anything else (missing, a list, a mapping). For wine/'s readers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <yaml-cpp/yaml.h>

namespace tvn::wine {

inline std::optional<YAML::Node> yamlMapping(std::string_view text)
{
    try {
        YAML::Node root = YAML::Load(std::string(text));
        if (root.IsMap())
            return root;
    } catch (const YAML::Exception&) {
    }
    return std::nullopt;
}

inline std::string yamlScalar(const YAML::Node& node)
{
    return node && node.IsScalar() ? node.Scalar() : std::string();
}

} // namespace tvn::wine
