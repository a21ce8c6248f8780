// GlobalConfig: config.ini as start-up reads it, loaded once per process.
//
// Later changes to the file (through the sys module) are seen by the next process, not this one.
// After construction the object is only read, so any thread may use it.
#pragma once

#include "app/IniFile.h"
#include "app/Singleton.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tvn {

class GlobalConfig : public Singleton<GlobalConfig> {
public:
    // The value of `key` in `section`, or `fallback` when absent.
    std::string get(std::string_view section, std::string_view key, std::string_view fallback) const;

    // The value of `key` in section "app", or `fallback` when absent.
    std::string getString(std::string_view key, std::string_view fallback) const;
    std::wstring getWString(std::string_view key, std::wstring_view fallback) const;

    const std::filesystem::path& path() const { return m_path; }

private:
    friend class Singleton<GlobalConfig>;
    GlobalConfig();

    std::filesystem::path m_path;
    IniFile m_file;
};

} // namespace tvn
