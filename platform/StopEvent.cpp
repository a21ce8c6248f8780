// A stop request as a readable descriptor.

#include "platform/StopEvent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>

namespace tvn::platform {

StopEvent::StopEvent(std::stop_token stop)
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_onStop(std::move(stop), [fd = m_fd.get()] {
        if (fd < 0)
            return;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    })
{
}

bool waitReadable(int fd, const StopEvent& stopEvent, const std::stop_token& stop)
{
    pollfd watched[2] = { { fd, POLLIN, 0 }, { stopEvent.fd(), POLLIN, 0 } };
    // Without a stop descriptor the token is asked every 100 ms.
    const int timeout = stopEvent.fd() >= 0 ? -1 : 100;
    while (!stop.stop_requested()) {
        const int ready = ::poll(watched, stopEvent.fd() >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            return true; // let the caller's read tell what is wrong
        if (ready > 0 && watched[0].revents != 0)
            return true;
    }
    return false;
}

} // namespace tvn::platform
