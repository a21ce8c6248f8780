// The process-wide configuration.

#include "core/GlobalConfig.h"

#include "core/Paths.h"
#include "util/TextConvert.h"

namespace tvn {

namespace {
constexpr std::string_view kSection = "app";
}

const IniFile& GlobalConfig::file() const
{
    const std::filesystem::path path = appDataPath("config.ini");
    if (!m_file || path != m_path) {
        m_path = path;
        m_file.emplace(path);
    }
    return *m_file;
}

std::filesystem::path GlobalConfig::path() const
{
    std::lock_guard lock(m_mutex);
    file();
    return m_path;
}

std::string GlobalConfig::get(std::string_view section, std::string_view key, std::string_view fallback) const
{
    std::lock_guard lock(m_mutex);
    const IniFile& ini = file();
    if (!ini.hasKey(section, key))
        return std::string(fallback);
    return ini.sections().find(section)->second.find(key)->second;
}

std::string GlobalConfig::getString(std::string_view key, std::string_view fallback) const
{
    return get(kSection, key, fallback);
}

std::wstring GlobalConfig::getWString(std::string_view key, std::wstring_view fallback) const
{
    const std::string missing = "\x01"; // no INI value holds a control character
    const std::string value = get(kSection, key, missing);
    return value == missing ? std::wstring(fallback) : utf8ToWide(value);
}

} // namespace tvn
