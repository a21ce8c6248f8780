// GlobalConfig: config.ini as start-up reads it, loaded once per process (once per configuration
// folder, should the folder's variable change, as it does between the tests of one binary).
//
// Later changes to the file through the sys module are seen by the next process, not this one;
// a change made through set() is seen at once. Any thread may use it.
#pragma once

#include "core/IniFile.h"
#include "core/Singleton.h"

#include <filesystem>
#include <mutex>
#include <optional>
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

    std::filesystem::path path() const;

    // Writes `value` to the file (read afresh, so that other changes in it are kept; replaced
    // atomically) and to this process's copy. False, and nothing changed, when it cannot be
    // stored or written.
    bool set(std::string_view section, std::string_view key, std::string_view value);

private:
    friend class Singleton<GlobalConfig>;
    GlobalConfig() = default;

    // The file of the current configuration folder, loaded when first asked for. Under m_mutex.
    const IniFile& file() const;
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    mutable std::mutex m_mutex;
    mutable std::filesystem::path m_path;
    mutable std::optional<IniFile> m_file;
};

} // namespace tvn
