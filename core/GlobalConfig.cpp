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

bool GlobalConfig::set(std::string_view section, std::string_view key, std::string_view value)
{
    if (!IniFile::storable(section, key, value))
        return false;
    std::lock_guard lock(m_mutex);
    file();
    IniFile current(m_path);
    current.value(section, key) = std::string(value);
    if (!current.save(m_path))
        return false;
    m_file = std::move(current);
    return true;
}

std::optional<std::string> GlobalConfig::find(std::string_view section, std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    const IniFile& ini = file();
    if (!ini.hasKey(section, key))
        return std::nullopt;
    return ini.sections().find(section)->second.find(key)->second;
}

std::string GlobalConfig::get(std::string_view section, std::string_view key, std::string_view fallback) const
{
    return find(section, key).value_or(std::string(fallback));
}

std::string GlobalConfig::getString(std::string_view key, std::string_view fallback) const
{
    return get(kSection, key, fallback);
}

std::wstring GlobalConfig::getWString(std::string_view key, std::wstring_view fallback) const
{
    const std::optional<std::string> value = find(kSection, key);
    return value ? utf8ToWide(*value) : std::wstring(fallback);
}

} // namespace tvn
