// Heartbeat chains on the main loop.

#include "modules/HeartbeatChain.h"

#include "core/GlobalConfig.h"
#include "modules/ScriptThread.h"
#include "net/DownloadApi.h"

#include <atomic>
#include <cstdlib>
#include <glib.h>
#include <thread>

namespace tvn {

namespace {

// Chains carry the era they were started in; stopHeartbeatChains() begins a new one.
std::atomic<unsigned> g_era { 0 };

void scheduleBeat(unsigned era);

gboolean beat(gpointer data)
{
    const auto era = static_cast<unsigned>(GPOINTER_TO_UINT(data));
    if (era != g_era)
        return G_SOURCE_REMOVE;
    std::thread([era] {
        heartbeatOnce(); // the bus delivers the token on the main loop
        postToScriptThread([era] {
            if (era == g_era)
                scheduleBeat(era);
        });
    }).detach();
    return G_SOURCE_REMOVE;
}

void scheduleBeat(unsigned era)
{
    g_timeout_add(static_cast<guint>(heartbeatIntervalMs()), beat, GUINT_TO_POINTER(era));
}

} // namespace

int heartbeatIntervalMs()
{
    const std::string configured = GlobalConfig::instance().get("server", "heartbeat", "");
    const int interval = std::atoi(configured.c_str());
    return interval > 0 ? interval : kHeartbeatIntervalMs;
}

void startHeartbeatChain()
{
    scheduleBeat(g_era);
}

void stopHeartbeatChains()
{
    ++g_era;
}

} // namespace tvn
