// The single-instance lock and its activation socket.

#include "platform/SingleInstance.h"

#include "platform/WindowChannel.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

constexpr char kRequest[] = "activate\n";
constexpr char kAnswer[] = "ok\n";

} // namespace

struct SingleInstance::Listener {
    GSocketService* service = nullptr;
    std::function<void()> activate;

    ~Listener()
    {
        if (service) {
            g_socket_service_stop(service);
            g_socket_listener_close(G_SOCKET_LISTENER(service));
            g_object_unref(service);
        }
    }

    static gboolean onIncoming(GSocketService*, GSocketConnection* connection, GObject*, gpointer data)
    {
        auto* self = static_cast<Listener*>(data);
        GInputStream* input = g_io_stream_get_input_stream(G_IO_STREAM(connection));
        char request[sizeof(kRequest)] = {};
        gsize read = 0;
        g_input_stream_read_all(input, request, sizeof(kRequest) - 1, &read, nullptr, nullptr);
        if (read == sizeof(kRequest) - 1 && !std::memcmp(request, kRequest, read)) {
            if (self->activate)
                self->activate();
            GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(connection));
            g_output_stream_write_all(output, kAnswer, sizeof(kAnswer) - 1, nullptr, nullptr, nullptr);
        }
        return TRUE;
    }
};

SingleInstance::SingleInstance(const std::string& name)
    : m_lockPath(runtimeFolder() / (name + ".lock"))
    , m_socketPath(runtimeFolder() / (name + ".sock"))
{
    m_lockFd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd >= 0 && ::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0)
        m_first = false;
}

SingleInstance::~SingleInstance()
{
    if (m_listener) {
        m_listener.reset();
        ::unlink(m_socketPath.c_str());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock; the file stays for the next start
}

bool SingleInstance::activateFirst() const
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_socketPath.c_str(), sizeof(address.sun_path) - 1);
    timeval limit { 5, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    bool answered = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0
        && ::write(fd, kRequest, sizeof(kRequest) - 1) == static_cast<ssize_t>(sizeof(kRequest) - 1)) {
        char answer[sizeof(kAnswer)] = {};
        answered = ::read(fd, answer, sizeof(kAnswer) - 1) == static_cast<ssize_t>(sizeof(kAnswer) - 1)
            && !std::memcmp(answer, kAnswer, sizeof(kAnswer) - 1);
    }
    ::close(fd);
    return answered;
}

bool SingleInstance::listen(std::function<void()> activate)
{
    if (!m_first || m_listener)
        return false;
    ::unlink(m_socketPath.c_str()); // a socket a dead instance left behind; the lock is ours
    auto listener = std::make_unique<Listener>();
    listener->activate = std::move(activate);
    listener->service = g_socket_service_new();
    GSocketAddress* address = g_unix_socket_address_new(m_socketPath.c_str());
    const gboolean added = g_socket_listener_add_address(G_SOCKET_LISTENER(listener->service), address, G_SOCKET_TYPE_STREAM,
        G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, nullptr);
    g_object_unref(address);
    if (!added)
        return false;
    g_signal_connect(listener->service, "incoming", G_CALLBACK(Listener::onIncoming), listener.get());
    g_socket_service_start(listener->service);
    m_listener = std::move(listener);
    return true;
}

} // namespace tvn::platform
