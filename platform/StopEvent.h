// StopEvent: a descriptor that turns readable once a stop is requested, for a thread that waits in
// poll() on other descriptors as well (a child's output, a process's end).
#pragma once

#include "platform/FileDescriptor.h"

#include <functional>
#include <stop_token>

namespace tvn::platform {

class StopEvent {
public:
    explicit StopEvent(std::stop_token);
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    // Readable (POLLIN) from the stop on; -1 when no descriptor could be made (then only the
    // token tells).
    int fd() const { return m_fd.get(); }

private:
    FileDescriptor m_fd; // made before the callback, which may run in the constructor
    std::stop_callback<std::function<void()>> m_onStop;
};

// Waits until `fd` is readable or the stop is requested: true when `fd` is (or has hung up).
// Interrupted waits go on.
bool waitReadable(int fd, const StopEvent&, const std::stop_token&);

} // namespace tvn::platform
