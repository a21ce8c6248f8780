// The heartbeat chain on the main loop.

#include "repair/HeartbeatChain.h"

#include "core/GlobalConfig.h"
#include "platform/MainLoop.h"
#include "net/DownloadApi.h"
#include "platform/ThreadGroup.h"

#include <atomic>
#include <cstdlib>
#include <glib.h>
#include <mutex>

namespace tvn {

namespace {

// A chain carries the era it was started in; a chain that ends, or stopHeartbeatChains(), begins
// a new era and every beat of an older one ends there.
std::atomic<unsigned> g_era { 0 };

std::mutex g_mutex;
std::weak_ptr<HeartbeatChain> g_chain; // under g_mutex

// The beats' requests, owned by the process: joined by stopHeartbeatChains() and at exit. A
// request in flight is not cut; its time limit bounds the wait.
platform::ThreadGroup& beatThreads()
{
    static platform::ThreadGroup threads;
    return threads;
}

void scheduleBeat(unsigned era);

gboolean beat(gpointer data)
{
    const auto era = static_cast<unsigned>(GPOINTER_TO_UINT(data));
    if (era != g_era)
        return G_SOURCE_REMOVE;
    beatThreads().start([era](std::stop_token) {
        heartbeatOnce(); // the bus delivers the token on the main loop
        platform::postToMainLoop([era] {
            if (era == g_era)
                scheduleBeat(era);
        });
    });
    return G_SOURCE_REMOVE;
}

void scheduleBeat(unsigned era)
{
    g_timeout_add(static_cast<guint>(heartbeatIntervalMs()), beat, GUINT_TO_POINTER(era));
}

} // namespace

class HeartbeatChain {
public:
    explicit HeartbeatChain(unsigned era)
        : m_era(era)
    {
        scheduleBeat(era);
    }
    ~HeartbeatChain()
    {
        unsigned era = m_era;
        g_era.compare_exchange_strong(era, m_era + 1); // a chain already stopped leaves the era alone
    }
    HeartbeatChain(const HeartbeatChain&) = delete;
    HeartbeatChain& operator=(const HeartbeatChain&) = delete;

private:
    const unsigned m_era;
};

int heartbeatIntervalMs()
{
    const std::string configured = GlobalConfig::instance().get("server", "heartbeat", "");
    const int interval = std::atoi(configured.c_str());
    return interval > 0 ? interval : kHeartbeatIntervalMs;
}

HeartbeatHold holdHeartbeatChain()
{
    std::lock_guard lock(g_mutex);
    if (HeartbeatHold chain = g_chain.lock())
        return chain;
    auto chain = std::make_shared<HeartbeatChain>(g_era.load());
    g_chain = chain;
    return chain;
}

long heartbeatChainHolds()
{
    std::lock_guard lock(g_mutex);
    return g_chain.use_count();
}

void stopHeartbeatChains()
{
    {
        std::lock_guard lock(g_mutex);
        ++g_era;
        g_chain.reset();
    }
    beatThreads().stop();
}

} // namespace tvn
