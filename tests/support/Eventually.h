// Waiting on a condition another thread or process makes true, polled, with a limit.
#pragma once

#include <chrono>
#include <thread>

namespace tvn::test {

// Polls `condition` for up to `limit` (ten seconds unless said).
template<typename Condition>
inline bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    for (int i = 0; i < limit.count() / 100; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

} // namespace tvn::test
