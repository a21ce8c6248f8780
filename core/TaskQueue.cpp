// The queue-and-pump.

#include "core/TaskQueue.h"

namespace tvn {

void TaskQueue::post(Task task)
{
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(std::move(task));
    m_count.fetch_add(1, std::memory_order_relaxed);
}

size_t TaskQueue::run()
{
    size_t ran = 0;
    while (runOne())
        ++ran;
    return ran;
}

bool TaskQueue::runOne()
{
    Task task;
    {
        std::lock_guard lock(m_mutex);
        if (m_tasks.empty())
            return false;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_count.fetch_sub(1, std::memory_order_relaxed);
    }
    task();
    return true;
}

void TaskQueue::clear()
{
    std::deque<Task> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_tasks);
        m_count.store(0, std::memory_order_relaxed);
    }
    // Destroyed outside the lock: a callable's captures may post in their destructors.
}

} // namespace tvn
