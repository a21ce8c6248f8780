// The Wine prefixes whose registry the engine has changed through Wine (an installer, a library's
// registration) since it last read them. Wine keeps the registry in its wineserver and writes
// system.reg when that ends, so a read right after a change would see the old file: whoever reads a
// prefix's registry files flushes first, which waits for the wineserver once per change.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace tvn {

// How long a wineserver is waited for: one kept running by a program in its prefix saves the
// registry at least every 30 seconds.
inline constexpr std::chrono::seconds kRegistrySaveWait { 35 };

class PendingRegistryWrites {
public:
    // `wine` runs the prefix (a path, or a name found on PATH); its wineserver is the one waited for.
    void changed(const std::filesystem::path& prefix, const std::string& wine);
    // Waits for the wineserver of every changed prefix (each at most kRegistrySaveWait); returns at
    // once when nothing changed. Callers that come meanwhile wait for the same flush.
    void flush();

private:
    std::mutex m_mutex;
    std::map<std::filesystem::path, std::string> m_pending; // prefix -> its wine, under m_mutex
    std::mutex m_flushing; // held through a flush
};

} // namespace tvn
