// The worker pool.

#include "repair/WorkerPool.h"

#include <chrono>

namespace tvn {

WorkerPool::~WorkerPool()
{
    stop();
}

void WorkerPool::start()
{
    if (m_thread.joinable())
        m_thread.join(); // a worker that ran dry has ended; reap it before making the next
    m_stopRequested = false;
    m_thread = std::thread([this] { work(); });
}

void WorkerPool::stop()
{
    m_stopRequested = true;
    if (m_thread.joinable())
        m_thread.join();
    m_queue.clear();
}

void WorkerPool::work()
{
    while (!m_stopRequested) {
        if (!m_queue.runOne())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace tvn
