// ProgressPacer: which of a transfer's many progress reports are worth passing on. A download
// reports every few kilobytes; the page needs a few a second. The first report goes, then at most
// one per interval, and the one that completes a known total always, so the last word is "all".
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace tvn {

class ProgressPacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressPacer(Clock::duration interval)
        : m_interval(interval)
    {
    }

    bool due(uint64_t current, uint64_t total, Clock::time_point now)
    {
        const bool complete = total > 0 && current >= total;
        if (complete && m_completed)
            return false;
        if (!complete && m_last && now - *m_last < m_interval)
            return false;
        m_last = now;
        m_completed = complete;
        return true;
    }

private:
    Clock::duration m_interval;
    std::optional<Clock::time_point> m_last;
    bool m_completed = false;
};

} // namespace tvn
