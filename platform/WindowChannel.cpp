// The window channel's two ends: the browser process's listener on its main loop, and the web
// process's blocking client.

#include "platform/WindowChannel.h"

#include "platform/GRef.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tvn::platform {

std::filesystem::path runtimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        return runtime;
    return "/tmp";
}

// One web process's connection. Reads a line, answers it, then reads the next: a web process
// has at most one request in flight, so replies never queue up.
//
// Pending callbacks hold a raw pointer to their connection. Destroying a connection cancels them
// first, and a cancelled callback touches nothing.
struct WindowChannelServer::Connection {
    Listener* listener;
    GRef<GSocketConnection> socket;
    GRef<GDataInputStream> input;
    GRef<GCancellable> cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
    std::string reply;

    ~Connection() { g_cancellable_cancel(cancellable.get()); }

    void readNextLine();
    static void onLine(GObject* source, GAsyncResult*, gpointer self);
    static void onWritten(GObject* source, GAsyncResult*, gpointer self);
};

struct WindowChannelServer::Listener {
    GRef<GSocketService> service;
    std::string path;
    Handler handler;
    std::map<Connection*, std::unique_ptr<Connection>> connections;

    ~Listener()
    {
        connections.clear();
        g_socket_service_stop(service.get());
        g_socket_listener_close(G_SOCKET_LISTENER(service.get()));
        ::unlink(path.c_str());
    }

    void drop(Connection* connection) { connections.erase(connection); }

    static gboolean onIncoming(GSocketService*, GSocketConnection* socket, GObject*, gpointer data)
    {
        auto* self = static_cast<Listener*>(data);
        auto connection = std::make_unique<Connection>();
        connection->listener = self;
        connection->socket = GRef<GSocketConnection>::retain(socket);
        connection->input = GRef<GDataInputStream>::adopt(g_data_input_stream_new(g_io_stream_get_input_stream(G_IO_STREAM(socket))));
        g_data_input_stream_set_newline_type(connection->input.get(), G_DATA_STREAM_NEWLINE_TYPE_LF);
        Connection* raw = connection.get();
        self->connections[raw] = std::move(connection);
        raw->readNextLine();
        return TRUE;
    }
};

void WindowChannelServer::Connection::readNextLine()
{
    g_data_input_stream_read_line_async(input.get(), G_PRIORITY_DEFAULT, cancellable.get(), onLine, this);
}

void WindowChannelServer::Connection::onLine(GObject* source, GAsyncResult* result, gpointer data)
{
    GError* rawError = nullptr;
    gsize length = 0;
    GUnique<char> line(g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, &length, &rawError));
    GUnique<GError> error(rawError);
    if (error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return;
    auto* self = static_cast<Connection*>(data);
    if (!line) { // the web process went away, or the stream broke
        self->listener->drop(self);
        return;
    }
    self->reply = self->listener->handler(std::string_view(line.get(), length));
    self->reply += '\n';
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(self->socket.get()));
    // A pollable stream writes at once when the socket has room; the loop never waits on it.
    g_output_stream_write_all_async(output, self->reply.data(), self->reply.size(), G_PRIORITY_DEFAULT, self->cancellable.get(), onWritten, self);
}

void WindowChannelServer::Connection::onWritten(GObject* source, GAsyncResult* result, gpointer data)
{
    GError* rawError = nullptr;
    const gboolean written = g_output_stream_write_all_finish(G_OUTPUT_STREAM(source), result, nullptr, &rawError);
    GUnique<GError> error(rawError);
    if (error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return;
    auto* self = static_cast<Connection*>(data);
    if (!written) {
        self->listener->drop(self);
        return;
    }
    self->readNextLine();
}

WindowChannelServer::WindowChannelServer() = default;
WindowChannelServer::~WindowChannelServer() = default;

bool WindowChannelServer::listen(Handler handler)
{
    if (m_listener)
        return false;
    auto listener = std::make_unique<Listener>();
    listener->handler = std::move(handler);
    listener->path = (runtimeFolder() / ("tvn-window-" + std::to_string(::getpid()) + ".sock")).string();
    ::unlink(listener->path.c_str()); // left by a process that had our pid before
    listener->service = GRef<GSocketService>::adopt(g_socket_service_new());
    GRef<GSocketAddress> address = GRef<GSocketAddress>::adopt(g_unix_socket_address_new(listener->path.c_str()));
    if (!g_socket_listener_add_address(G_SOCKET_LISTENER(listener->service.get()), address.get(), G_SOCKET_TYPE_STREAM,
            G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, nullptr))
        return false;
    g_signal_connect(listener->service.get(), "incoming", G_CALLBACK(Listener::onIncoming), listener.get());
    g_socket_service_start(listener->service.get());
    m_listener = std::move(listener);
    return true;
}

std::string WindowChannelServer::address() const
{
    return m_listener ? m_listener->path : std::string();
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
    if (m_fd >= 0)
        return true;
    sockaddr_un address {};
    if (m_address.empty() || m_address.size() >= sizeof(address.sun_path))
        return false;
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_address.data(), m_address.size());
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        disconnect();
        return false;
    }
    return true;
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
