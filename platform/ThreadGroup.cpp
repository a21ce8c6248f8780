// Threads that are always joined.

#include "platform/ThreadGroup.h"

namespace tvn::platform {

void ThreadGroup::markEnded(Member& member)
{
    std::lock_guard lock(m_mutex);
    member.ended = true;
}

void ThreadGroup::joinEnded()
{
    std::list<Member> ended;
    {
        std::lock_guard lock(m_mutex);
        for (auto member = m_members.begin(); member != m_members.end();) {
            const auto next = std::next(member);
            if (member->ended)
                ended.splice(ended.end(), m_members, member);
            member = next;
        }
    }
    // Destroying a std::jthread requests a stop (too late to matter) and joins it.
}

void ThreadGroup::stop()
{
    std::list<Member> stopping;
    {
        std::lock_guard lock(m_mutex);
        stopping.splice(stopping.end(), m_members);
        for (Member& member : stopping)
            member.thread.request_stop();
    }
    // Joined without the lock: an ending thread takes it to mark itself.
    for (Member& member : stopping)
        member.thread.join();
}

size_t ThreadGroup::running() const
{
    std::lock_guard lock(m_mutex);
    size_t count = 0;
    for (const Member& member : m_members)
        count += member.ended ? 0 : 1;
    return count;
}

} // namespace tvn::platform
