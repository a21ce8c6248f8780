// Unix sockets between the user's own processes: a line-based server on the GLib main loop and the
// client's connect. Both ends answer only a peer of the same user (SO_PEERCRED), whatever the
// socket file's permissions say.
//
// The server never blocks its loop: lines are read and replies written asynchronously, and a reply
// may be given later than the handler's return (a dialog the user answers first); the connection
// reads nothing more until it has been given. A line longer than the server's limit, one that
// does not arrive within its stall limit, or one begun and not finished within its line limit,
// ends that connection; other connections go on. Connections past the server's cap are closed at
// once.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tvn::platform {

// Whether a peer may talk to us: only one whose user id is known and is ours.
bool acceptPeer(std::optional<uid_t> peer, uid_t self);

// The user id of the process at the other end of a connected Unix socket.
std::optional<uid_t> peerUser(int fd);

// Connects to the socket at `path` and checks its owner: a blocking, close-on-exec socket, or -1.
int connectLocalSocket(const std::filesystem::path& path);

class LocalSocketServer {
public:
    struct Limits {
        size_t maxLine = 1 << 20;                    // bytes, without the newline
        std::chrono::milliseconds stall { 0 };       // for a request line to arrive; 0: no limit
        std::chrono::milliseconds lineStall { 0 };   // for a begun line to end; 0: no limit
        size_t maxConnections = 0;                   // open at once; 0: no cap
    };
    // The reply line (without its newline) to one request line.
    using Handler = std::function<std::string(std::string_view line)>;
    // Gives the reply line; only the first call counts, and a call after the connection has gone
    // does nothing. May be called at once or later, on the server's thread.
    using Reply = std::function<void(std::string line)>;
    using AsyncHandler = std::function<void(std::string_view line, Reply)>;

    LocalSocketServer();
    ~LocalSocketServer();
    LocalSocketServer(const LocalSocketServer&) = delete;
    LocalSocketServer& operator=(const LocalSocketServer&) = delete;

    // Listens at `path` (a socket file left there is replaced) on the thread-default main context.
    bool listen(const std::filesystem::path& path, Limits, Handler);
    bool listen(const std::filesystem::path& path, Limits, AsyncHandler);
    // The socket's path; empty until listening.
    std::filesystem::path path() const;

private:
    struct Listener;
    struct Connection;
    std::unique_ptr<Listener> m_listener;
};

} // namespace tvn::platform
