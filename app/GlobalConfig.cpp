// The process-wide configuration.

#include "app/GlobalConfig.h"

#include "app/Paths.h"
#include "util/TextConvert.h"

namespace tvn {

namespace {
constexpr std::string_view kSection = "app";
}

GlobalConfig::GlobalConfig()
    : m_path(appDataPath("config.ini"))
    , m_file(m_path)
{
}

std::string GlobalConfig::get(std::string_view section, std::string_view key, std::string_view fallback) const
{
    if (!m_file.hasKey(section, key))
        return std::string(fallback);
    return m_file.sections().find(section)->second.find(key)->second;
}

std::string GlobalConfig::getString(std::string_view key, std::string_view fallback) const
{
    return get(kSection, key, fallback);
}

std::wstring GlobalConfig::getWString(std::string_view key, std::wstring_view fallback) const
{
    if (!m_file.hasKey(kSection, key))
        return std::wstring(fallback);
    return utf8ToWide(getString(key, {}));
}

} // namespace tvn
