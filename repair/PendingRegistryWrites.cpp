// Waiting for a changed prefix's wineserver before its registry files are read.

#include "repair/PendingRegistryWrites.h"

#include "core/Log.h"
#include "platform/Launcher.h"

#include <chrono>

namespace tvn {

namespace {

// A wineserver kept running by a program open in the prefix saves its registry every 30 seconds.

} // namespace

void PendingRegistryWrites::changed(const std::filesystem::path& prefix, const std::string& wine)
{
    std::lock_guard lock(m_mutex);
    m_pending[prefix.lexically_normal()] = wine;
}

void PendingRegistryWrites::flush()
{
    std::lock_guard flushing(m_flushing);
    std::map<std::filesystem::path, std::string> pending;
    {
        std::lock_guard lock(m_mutex);
        pending.swap(m_pending);
    }
    for (const auto& [prefix, wine] : pending) {
        if (platform::waitForWineserver(prefix, wine, kRegistrySaveWait))
            LOG_INFO << "wineserver ended, registry written: " << prefix.string();
        else
            LOG_WARN << "wineserver still running, registry as last saved: " << prefix.string();
    }
}

} // namespace tvn
