// ThreadGroup: the threads one owner starts and, when it goes, stops and joins.
//
// Each thread's work gets a stop token; stop() requests a stop of every thread and waits until
// each has ended, and the destructor does the same, so no thread of the group outlives its owner
// or the state it captured from it. A thread that has ended by itself is joined at the next start,
// so a long-lived owner never gathers finished threads. Work must notice its token (or be woken by
// a std::stop_callback) within a short time: stop() waits for it.
#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tvn::platform {

class ThreadGroup {
public:
    ThreadGroup() = default;
    ~ThreadGroup() { stop(); }
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // Any thread. Starts `work(std::stop_token)` on a thread of its own; `work` may be move-only.
    template<typename Work>
    void start(Work work)
    {
        joinEnded();
        std::lock_guard lock(m_mutex);
        Member& member = m_members.emplace_back();
        // The member outlives its thread: only a join removes it.
        member.thread = std::jthread([this, &member, work = std::move(work)](std::stop_token stop) mutable {
            work(stop);
            markEnded(member);
        });
    }
    // Any thread but one of the group's own. Requests a stop of every thread started before, then
    // joins them all; threads started later are left alone. The group can start threads again.
    void stop();
    // Threads started and not yet ended.
    size_t running() const;

private:
    struct Member {
        std::jthread thread;
        bool ended = false; // under m_mutex
    };
    void joinEnded();
    void markEnded(Member&);

    mutable std::mutex m_mutex;
    std::list<Member> m_members;
};

} // namespace tvn::platform
