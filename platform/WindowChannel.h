// The window channel: a web process's synchronous request to the browser process's UI thread,
// what a message sent to another process's window is on Windows.
//
// The browser process listens on a Unix socket (<runtime folder>/tvn-window-<pid>.sock) and answers
// each request on its GLib main loop; it never waits on a web process. A web process sends one
// line and blocks until the reply line has come. A request and its reply are one line of text each
// (JSON in practice: it never holds a raw newline). Only processes of the same user are answered,
// and a request line may not exceed kWindowChannelMaxRequest bytes.
#pragma once

#include "platform/LocalSocket.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::platform {

// Large enough for an icon or clipboard text; a longer request ends its connection.
inline constexpr size_t kWindowChannelMaxRequest = 16u << 20;
// A request line, once begun, arrives whole within this (16 MiB over a local socket takes far less).
inline constexpr std::chrono::milliseconds kWindowChannelLineStall { 10000 };
// One connection per web process (and a few tools); more are refused.
inline constexpr size_t kWindowChannelMaxConnections = 64;

class WindowChannelServer {
public:
    // The answer to one request line (without its newline); the reply line.
    using Handler = LocalSocketServer::Handler;
    // The same, given later through the reply (a dialog answered first; the web process waits).
    using AsyncHandler = LocalSocketServer::AsyncHandler;
    using Reply = LocalSocketServer::Reply;

    // Starts listening on the thread-default main context; false when there is no private runtime
    // folder or the socket cannot be made.
    bool listen(Handler);
    bool listen(AsyncHandler);
    // The socket's path; empty until listening.
    std::string address() const;

private:
    LocalSocketServer m_server;
};

class WindowChannelClient {
public:
    explicit WindowChannelClient(std::string address);
    ~WindowChannelClient();
    WindowChannelClient(const WindowChannelClient&) = delete;
    WindowChannelClient& operator=(const WindowChannelClient&) = delete;

    // Sends one request line and waits for its reply; nullopt when there is no browser process to
    // answer (no address, refused, a peer of another user, or the connection broke). One request
    // at a time per client.
    std::optional<std::string> request(std::string_view line);

private:
    bool connect();
    void disconnect();

    std::string m_address;
    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_pending; // bytes read past the last reply line
};

} // namespace tvn::platform
