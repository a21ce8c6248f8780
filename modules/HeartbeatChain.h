// The heartbeat chain that repairs and installs start: every interval, a heartbeat asks the API
// server for a fresh token and the token (empty after a failure) is published on the event bus as
// "HTTP_GetDownloadToken", forever; the bus hands it over on the script thread's main loop. The
// timer runs on that loop; the request runs on a thread of its own, so a slow or silent server
// never freezes the page. Each call starts one more chain.
#pragma once

namespace tvn {

// The interval: config.ini's [server] heartbeat in milliseconds, else 180000.
int heartbeatIntervalMs();

// Starts a chain on the default main context. Script thread.
void startHeartbeatChain();

// Ends every chain started so far (each ends at its next beat); for tests, which must not leave
// chains beating at the next test's server.
void stopHeartbeatChains();

} // namespace tvn
