// Work handed to the thread that runs GLib's default main context: the web process's main thread,
// where scripts run (the tests' script thread does the same), and the UI thread of the browser.
#pragma once

#include <functional>

namespace tvn::platform {

// Runs `task` on the default main context's thread, later; tasks posted from one thread run in the
// order posted. Any thread.
void postToMainLoop(std::function<void()> task);

} // namespace tvn::platform
