// Work handed back to the script thread: the web process's main thread, which runs the GLib
// default main context (as the tests' script thread does).
#pragma once

#include <functional>

namespace tvn {

// Runs `task` on the default main context's thread, later; tasks posted from one thread run in the
// order posted. Any thread.
void postToScriptThread(std::function<void()> task);

} // namespace tvn
