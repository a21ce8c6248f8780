// Running the thread's default GLib main context in a test while other threads act, as a UI
// thread would, until they say they are done.
#pragma once

#include <atomic>
#include <chrono>
#include <glib.h>
#include <thread>

namespace tvn::test {

// Runs the default main context until `done` (ten seconds at most).
inline void runLoopUntil(const std::atomic<bool>& done)
{
    for (int i = 0; i < 10000 && !done; ++i) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace tvn::test
