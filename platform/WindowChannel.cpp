// The window channel's two ends: the browser process's listener on its main loop, and the web
// process's blocking client.

#include "platform/WindowChannel.h"

#include "platform/RuntimeFolder.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tvn::platform {

bool WindowChannelServer::listen(Handler handler)
{
    return listen([handler = std::move(handler)](std::string_view line, Reply reply) { reply(handler(line)); });
}

bool WindowChannelServer::listen(AsyncHandler handler)
{
    const RuntimeFolder folder = runtimeFolder();
    if (!folder.usable())
        return false;
    const std::filesystem::path path = folder.path / ("tvn-window-" + std::to_string(::getpid()) + ".sock");
    // A web process keeps its connection open between requests, so an idle one is never cut; a
    // request begun must end within the line limit.
    LocalSocketServer::Limits limits;
    limits.maxLine = kWindowChannelMaxRequest;
    limits.lineStall = kWindowChannelLineStall;
    limits.maxConnections = kWindowChannelMaxConnections;
    return m_server.listen(path, limits, std::move(handler));
}

std::string WindowChannelServer::address() const
{
    return m_server.path().string();
}

WindowChannelClient::WindowChannelClient(std::string address)
    : m_address(std::move(address))
{
}

WindowChannelClient::~WindowChannelClient()
{
    disconnect();
}

bool WindowChannelClient::connect()
{
    if (m_fd < 0)
        m_fd = connectLocalSocket(m_address);
    return m_fd >= 0;
}

void WindowChannelClient::disconnect()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

std::optional<std::string> WindowChannelClient::request(std::string_view line)
{
    std::lock_guard lock(m_mutex);
    if (!connect())
        return std::nullopt;
    std::string message(line);
    message += '\n';
    for (size_t sent = 0; sent < message.size();) {
        const ssize_t n = ::send(m_fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            disconnect();
            return std::nullopt;
        }
        sent += static_cast<size_t>(n);
    }
    // Blocks until the UI thread has answered, as long as that takes (a dialog may be open).
    for (;;) {
        if (const size_t end = m_pending.find('\n'); end != std::string::npos) {
            std::string reply = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return reply;
        }
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            disconnect();
            return std::nullopt;
        }
        m_pending.append(buffer, static_cast<size_t>(n));
    }
}

} // namespace tvn::platform
