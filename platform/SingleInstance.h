// SingleInstance: one running copy per executable path. The first instance holds a lock file
// (flock, so the lock dies with its process: a stale file never blocks a new start) and listens on
// a Unix socket beside it; a later instance asks it, through the socket, to present its window.
//
// Files: <runtime folder>/<name>.lock and <name>.sock (see RuntimeFolder.h). Only processes of the
// same user are answered; a client that says nothing is let go after a moment, and the first
// instance's loop never waits on one.
#pragma once

#include "platform/LocalSocket.h"

#include <filesystem>
#include <functional>
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
    // Closed after the server is gone, so that a next instance never has its socket removed by us.
    struct LockFile {
        int fd = -1;
        ~LockFile();
    };

    std::filesystem::path m_socketPath;
    LockFile m_lock;
    bool m_first = true;
    LocalSocketServer m_server;
};

} // namespace tvn::platform
