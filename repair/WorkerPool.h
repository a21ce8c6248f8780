// WorkerPool: the repair engine's single worker thread and its queue.
//
// Tasks run one at a time, in the order posted; results leave only through the event bus.
// Nothing here touches script or the toolkit.
//
// States: idle (no thread) -> running (start) -> stopping (stop: joins, then clears) -> idle.
// The worker also ends by itself when the queue runs dry; the next start makes a new one.
// Invariants: (1) at most one worker thread exists; (2) start() and stop() are called from one
// thread only (the engine's controller), so they never overlap.
#pragma once

#include "core/TaskQueue.h"

#include <atomic>
#include <thread>

namespace tvn {

class WorkerPool {
public:
    WorkerPool() = default;
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void post(TaskQueue::Task task) { m_queue.post(std::move(task)); }

    void start();
    // Waits for the running task to end, then drops the queued ones.
    void stop();

    size_t queued() const { return m_queue.size(); }

private:
    void work();

    TaskQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested { false };
};

} // namespace tvn
