// The heartbeat chain that repairs and installs start: every interval, a heartbeat asks the API
// server for a fresh token and the token (empty after a failure) is published on the event bus as
// "HTTP_GetDownloadToken"; the bus hands it over on the script thread's main loop. The timer runs
// on that loop; the request runs on a thread of its own, so a slow or silent server never freezes
// the page.
//
// A process has at most one chain. Modules hold it: the first hold starts it, and it stops (at its
// next beat) when the last hold goes, so a page that is reloaded or closed leaves no chain beating.
#pragma once

#include <memory>

namespace tvn {

class HeartbeatChain;
using HeartbeatHold = std::shared_ptr<HeartbeatChain>;

// The interval: config.ini's [server] heartbeat in milliseconds, else 180000.
int heartbeatIntervalMs();

// A hold on the process's chain, started on the default main context if none runs. Script thread.
HeartbeatHold holdHeartbeatChain();

// How many holds the running chain has (0 when none runs).
long heartbeatChainHolds();

// Ends the chain whatever holds it (it ends at its next beat; the next hold starts a new one) and
// waits for a request in flight. Script thread: the web extension at its end, and tests, which
// must not leave a chain beating at the next test's server.
void stopHeartbeatChains();

} // namespace tvn
