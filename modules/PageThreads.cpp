// The worker threads of each page.

#include "modules/PageThreads.h"

#include <limits>
#include <vector>

namespace tvn {

PageThreads& PageThreads::current()
{
    // Never destroyed: the web extension stops every thread before its process ends (stopAll), and
    // a thread that a test left running must not find the groups gone at exit.
    static PageThreads* threads = new PageThreads();
    return *threads;
}

platform::ThreadGroup& PageThreads::of(int browserId, int frameId)
{
    std::unique_ptr<platform::ThreadGroup>& group = m_frames[{ browserId, frameId }];
    if (!group)
        group = std::make_unique<platform::ThreadGroup>();
    return *group;
}

void PageThreads::stopFrame(int browserId, int frameId)
{
    const auto found = m_frames.find({ browserId, frameId });
    if (found == m_frames.end())
        return;
    const std::unique_ptr<platform::ThreadGroup> group = std::move(found->second);
    m_frames.erase(found);
    group->stop();
}

void PageThreads::stopPage(int browserId)
{
    std::vector<std::unique_ptr<platform::ThreadGroup>> groups;
    for (auto frame = m_frames.lower_bound({ browserId, std::numeric_limits<int>::min() });
         frame != m_frames.end() && frame->first.first == browserId;) {
        groups.push_back(std::move(frame->second));
        frame = m_frames.erase(frame);
    }
    for (const std::unique_ptr<platform::ThreadGroup>& group : groups)
        group->stop();
}

void PageThreads::stopAll()
{
    const auto frames = std::move(m_frames);
    m_frames.clear();
    for (const auto& [ids, group] : frames)
        group->stop();
}

size_t PageThreads::running() const
{
    size_t count = 0;
    for (const auto& [ids, group] : m_frames)
        count += group->running();
    return count;
}

} // namespace tvn
