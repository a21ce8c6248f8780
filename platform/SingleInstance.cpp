// The single-instance lock and its activation socket.

#include "platform/SingleInstance.h"

#include "platform/RuntimeFolder.h"

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

constexpr std::string_view kRequest = "activate";
constexpr std::string_view kAnswer = "ok";
// A later instance writes its request at once; one that has not within this time is not one.
constexpr std::chrono::milliseconds kRequestStall { 2000 };

} // namespace

SingleInstance::SingleInstance(const std::string& name)
{
    const RuntimeFolder folder = runtimeFolder();
    if (!folder.usable())
        return; // no safe place for the lock: start as the first, alone
    m_socketPath = folder.path / (name + ".sock");
    m_lock.fd = ::open((folder.path / (name + ".lock")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lock.fd >= 0 && ::flock(m_lock.fd, LOCK_EX | LOCK_NB) != 0)
        m_first = false;
}

SingleInstance::~SingleInstance() = default;

SingleInstance::LockFile::~LockFile()
{
    if (fd >= 0)
        ::close(fd); // releases the lock; the file stays for the next start
}

bool SingleInstance::activateFirst() const
{
    const int fd = connectLocalSocket(m_socketPath);
    if (fd < 0)
        return false;
    timeval limit { 5, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    const std::string request = std::string(kRequest) + "\n";
    bool answered = false;
    if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        char answer[8] = {};
        const ssize_t read = ::read(fd, answer, sizeof(answer));
        answered = read == static_cast<ssize_t>(kAnswer.size() + 1) && std::string_view(answer, kAnswer.size()) == kAnswer;
    }
    ::close(fd);
    return answered;
}

bool SingleInstance::listen(std::function<void()> activate)
{
    if (!m_first || m_socketPath.empty())
        return false;
    // The socket a dead instance left behind is replaced: the lock is ours.
    return m_server.listen(m_socketPath, { 64, kRequestStall }, [activate = std::move(activate)](std::string_view line) {
        if (line != kRequest)
            return std::string("no");
        if (activate)
            activate();
        return std::string(kAnswer);
    });
}

} // namespace tvn::platform
