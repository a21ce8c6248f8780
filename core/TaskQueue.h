// TaskQueue: callables posted from any thread and run, in posting order, by whichever thread pumps
// the queue.
//
// The event bus delivers through one; the http module's download thread and the repair engine's
// worker pump their own. Callables run without the lock held, so a callable may post again; what
// it posts runs in the same pump pass.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace tvn {

class TaskQueue {
public:
    using Task = std::function<void()>;

    TaskQueue() = default;
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;

    void post(Task);

    // Runs every queued callable, including those posted meanwhile; returns how many ran.
    size_t run();

    // Runs the first queued callable, if any; true when one ran.
    bool runOne();

    // Drops every queued callable without running it.
    void clear();

    // How many callables are queued; exact only while nobody posts or pumps.
    size_t size() const { return m_count.load(std::memory_order_relaxed); }

private:
    std::mutex m_mutex;
    std::deque<Task> m_tasks;
    std::atomic<size_t> m_count { 0 };
};

} // namespace tvn
