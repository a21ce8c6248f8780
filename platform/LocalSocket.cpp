// The local socket server and the client's connect.

#include "platform/LocalSocket.h"

#include "platform/GRef.h"

#include <cstring>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tvn::platform {

bool acceptPeer(std::optional<uid_t> peer, uid_t self)
{
    return peer && *peer == self;
}

std::optional<uid_t> peerUser(int fd)
{
    ucred credentials {};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof(credentials))
        return std::nullopt;
    return credentials.uid;
}

int connectLocalSocket(const std::filesystem::path& path)
{
    sockaddr_un address {};
    const std::string& name = path.native();
    if (name.empty() || name.size() >= sizeof(address.sun_path))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || !acceptPeer(peerUser(fd), ::getuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

namespace {

struct SourceDestroy {
    void operator()(GSource* source) const noexcept
    {
        g_source_destroy(source);
        g_source_unref(source);
    }
};
using SourceHandle = std::unique_ptr<GSource, SourceDestroy>;

} // namespace

// One peer's connection: reads request lines, answers each before reading on, so replies never
// queue up. Pending I/O callbacks hold a raw pointer to their connection; destroying a connection
// cancels them first, and a cancelled callback touches nothing. A reply still to come holds the
// connection weakly.
struct LocalSocketServer::Connection : std::enable_shared_from_this<Connection> {
    Listener* listener = nullptr;
    GRef<GSocketConnection> socket;
    GRef<GCancellable> cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
    SourceHandle stallTimer;
    SourceHandle lineTimer; // runs while a line has begun and not ended
    std::string pending; // bytes read, not yet a whole line
    std::string reply;
    char buffer[4096];

    ~Connection() { g_cancellable_cancel(cancellable.get()); }

    void next();
    void send(std::string line);
    // Starts `timer` (nothing for a limit of 0): when it fires, the connection is dropped.
    void arm(SourceHandle& timer, std::chrono::milliseconds limit);
    static void onRead(GObject* source, GAsyncResult*, gpointer self);
    static void onWritten(GObject* source, GAsyncResult*, gpointer self);
    static gboolean onStalled(gpointer self);
};

struct LocalSocketServer::Listener {
    GRef<GSocketService> service;
    std::filesystem::path path;
    Limits limits;
    AsyncHandler handler;
    std::map<Connection*, std::shared_ptr<Connection>> connections;

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
        // A peer of another user is let go at once (the connection closes with its last reference).
        if (!acceptPeer(peerUser(g_socket_get_fd(g_socket_connection_get_socket(socket))), ::getuid()))
            return TRUE;
        // So is one past the cap: clients that connect and say nothing cannot pile up.
        if (self->limits.maxConnections > 0 && self->connections.size() >= self->limits.maxConnections)
            return TRUE;
        auto connection = std::make_shared<Connection>();
        connection->listener = self;
        connection->socket = GRef<GSocketConnection>::retain(socket);
        Connection* raw = connection.get();
        self->connections[raw] = std::move(connection);
        raw->arm(raw->stallTimer, self->limits.stall);
        raw->next();
        return TRUE;
    }
};

void LocalSocketServer::Connection::arm(SourceHandle& timer, std::chrono::milliseconds limit)
{
    if (limit.count() <= 0)
        return;
    timer.reset(g_timeout_source_new(static_cast<guint>(limit.count())));
    g_source_set_callback(timer.get(), onStalled, this, nullptr);
    g_source_attach(timer.get(), g_main_context_get_thread_default());
}

gboolean LocalSocketServer::Connection::onStalled(gpointer data)
{
    auto* self = static_cast<Connection*>(data);
    self->listener->drop(self); // destroying a source from its own callback is allowed

    return G_SOURCE_REMOVE;
}

// Answers the next whole line, or reads on for one.
void LocalSocketServer::Connection::next()
{
    const size_t end = pending.find('\n');
    if (end == std::string::npos) {
        if (pending.size() > listener->limits.maxLine) {
            listener->drop(this);
            return;
        }
        if (!pending.empty() && !lineTimer)
            arm(lineTimer, listener->limits.lineStall);
        GInputStream* input = g_io_stream_get_input_stream(G_IO_STREAM(socket.get()));
        g_input_stream_read_async(input, buffer, sizeof(buffer), G_PRIORITY_DEFAULT, cancellable.get(), onRead, this);
        return;
    }
    if (end > listener->limits.maxLine) {
        listener->drop(this);
        return;
    }
    stallTimer.reset();
    lineTimer.reset();
    const std::string line = pending.substr(0, end);
    pending.erase(0, end + 1);
    auto given = std::make_shared<bool>(false);
    listener->handler(line, [weak = weak_from_this(), given](std::string reply) {
        if (*given)
            return;
        *given = true;
        if (const std::shared_ptr<Connection> self = weak.lock())
            self->send(std::move(reply));
    });
}

void LocalSocketServer::Connection::send(std::string line)
{
    reply = std::move(line);
    reply += '\n';
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(socket.get()));
    // A pollable stream writes at once when the socket has room; the loop never waits on it.
    g_output_stream_write_all_async(output, reply.data(), reply.size(), G_PRIORITY_DEFAULT, cancellable.get(), onWritten, this);
}

void LocalSocketServer::Connection::onRead(GObject* source, GAsyncResult* result, gpointer data)
{
    GError* rawError = nullptr;
    const gssize read = g_input_stream_read_finish(G_INPUT_STREAM(source), result, &rawError);
    GUnique<GError> error(rawError);
    if (error && g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return;
    auto* self = static_cast<Connection*>(data);
    if (read <= 0) { // the peer went away, or the stream broke
        self->listener->drop(self);
        return;
    }
    self->pending.append(self->buffer, static_cast<size_t>(read));
    self->next();
}

void LocalSocketServer::Connection::onWritten(GObject* source, GAsyncResult* result, gpointer data)
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
    self->arm(self->stallTimer, self->listener->limits.stall);
    self->next();
}

LocalSocketServer::LocalSocketServer() = default;
LocalSocketServer::~LocalSocketServer() = default;

bool LocalSocketServer::listen(const std::filesystem::path& path, Limits limits, Handler handler)
{
    return listen(path, limits, [handler = std::move(handler)](std::string_view line, Reply reply) { reply(handler(line)); });
}

bool LocalSocketServer::listen(const std::filesystem::path& path, Limits limits, AsyncHandler handler)
{
    if (m_listener)
        return false;
    auto listener = std::make_unique<Listener>();
    listener->path = path;
    listener->limits = limits;
    listener->handler = std::move(handler);
    ::unlink(path.c_str()); // a socket a process before us left behind
    listener->service = GRef<GSocketService>::adopt(g_socket_service_new());
    GRef<GSocketAddress> address = GRef<GSocketAddress>::adopt(g_unix_socket_address_new(path.c_str()));
    if (!g_socket_listener_add_address(G_SOCKET_LISTENER(listener->service.get()), address.get(), G_SOCKET_TYPE_STREAM,
            G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, nullptr))
        return false;
    g_signal_connect(listener->service.get(), "incoming", G_CALLBACK(Listener::onIncoming), listener.get());
    g_socket_service_start(listener->service.get());
    m_listener = std::move(listener);
    return true;
}

std::filesystem::path LocalSocketServer::path() const
{
    return m_listener ? m_listener->path : std::filesystem::path();
}

} // namespace tvn::platform
