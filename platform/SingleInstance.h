// SingleInstance: one running copy per executable path. The first instance holds a lock file
// (flock, so the lock dies with its process: a stale file never blocks a new start) and listens on
// a Unix socket beside it; a later instance asks it, through the socket, to present its window.
//
// Files: <runtime dir>/<name>.lock and <name>.sock, the runtime dir being $XDG_RUNTIME_DIR or /tmp.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tvn::platform {

class SingleInstance {
public:
    explicit SingleInstance(const std::string& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the lock (or the lock could not be used at all, which must not
    // keep the program from starting).
    bool isFirst() const { return m_first; }

    // Later instance: asks the first to present its window. True when it answered; false when no
    // first instance listens yet (it has not made its window, or is closing).
    bool activateFirst() const;

    // First instance: answers later instances on the GLib main loop; `activate` presents the window.
    bool listen(std::function<void()> activate);

private:
    std::filesystem::path m_lockPath;
    std::filesystem::path m_socketPath;
    int m_lockFd = -1;
    bool m_first = true;
    struct Listener;
    std::unique_ptr<Listener> m_listener;
};

} // namespace tvn::platform
