// PageThreads: the worker threads each page's calls started (exec readers, copies, listings,
// downloads, archive listings), owned by the page that asked for them.
//
// The web extension stops a frame's threads when the frame's document goes (a reload, a navigation)
// and every page's when the extension ends; stopping requests a stop of each thread and joins it,
// so no worker outlives the page it reports to. Script thread only.
#pragma once

#include "platform/ThreadGroup.h"

#include <map>
#include <memory>
#include <utility>

namespace tvn {

class PageThreads {
public:
    // The threads of this process's pages.
    static PageThreads& current();

    // The threads of one frame of a page (made on first use), to start one more.
    platform::ThreadGroup& of(int browserId, int frameId);
    // Stop and join the threads of one frame, of every frame of a page, of every page.
    void stopFrame(int browserId, int frameId);
    void stopPage(int browserId);
    void stopAll();
    // Threads started and not yet ended, over every page.
    size_t running() const;

private:
    // A group per frame; each group is a unique_ptr so that stopping one never moves another.
    std::map<std::pair<int, int>, std::unique_ptr<platform::ThreadGroup>> m_frames;
};

} // namespace tvn
