// The window channel: a web process's synchronous request to the browser process's UI thread,
// what a message sent to another process's window is on Windows.
//
// The browser process listens on a Unix socket (<runtime dir>/tvn-window-<pid>.sock, the runtime
// dir being $XDG_RUNTIME_DIR or /tmp) and answers each request on its GLib main loop; it never
// waits on a web process (requests are read and replies written without blocking). A web process
// sends one line and blocks until the reply line has come. A request and its reply are one line of
// text each (JSON in practice: it never holds a raw newline).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::platform {

class WindowChannelServer {
public:
    // The answer to one request line (without its newline); the reply line.
    using Handler = std::function<std::string(std::string_view request)>;

    WindowChannelServer();
    ~WindowChannelServer();
    WindowChannelServer(const WindowChannelServer&) = delete;
    WindowChannelServer& operator=(const WindowChannelServer&) = delete;

    // Starts listening on the thread-default main context; false when the socket cannot be made.
    bool listen(Handler);
    // The socket's path; empty until listening.
    std::string address() const;

private:
    struct Listener;
    struct Connection;
    std::unique_ptr<Listener> m_listener;
};

class WindowChannelClient {
public:
    explicit WindowChannelClient(std::string address);
    ~WindowChannelClient();
    WindowChannelClient(const WindowChannelClient&) = delete;
    WindowChannelClient& operator=(const WindowChannelClient&) = delete;

    // Sends one request line and waits for its reply; nullopt when there is no browser process to
    // answer (no address, refused, or the connection broke). One request at a time per client.
    std::optional<std::string> request(std::string_view line);

private:
    bool connect();
    void disconnect();

    std::string m_address;
    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_pending; // bytes read past the last reply line
};

// The folder for per-user sockets and locks: $XDG_RUNTIME_DIR when it is an absolute path, else /tmp.
std::filesystem::path runtimeFolder();

} // namespace tvn::platform
