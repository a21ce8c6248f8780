// SystemTolvane: the repair engine. It scans for DLLs and software packages, downloads and
// registers DLLs, downloads and runs installers: each kind of work a task on its worker pool,
// each item's result one event-bus message ("onScanDlls", "onRepairDlls", "onScanSoftwares",
// "onInstallSoftwares"), and "onCancelTask" at the end of a cancel.
//
// A start operation replaces the previous work: the running task finishes and reports, queued
// tasks are dropped without a message, then the new tasks run. A cancel sets the flag every task
// watches (before each scan item, at each download progress report, at each 50 ms of an
// installer's run), stops the pool and reports "onCancelTask" on a thread of its own.
#pragma once

#include "app/Singleton.h"
#include "repair/Items.h"
#include "repair/WorkerPool.h"

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

class SystemTolvane : public Singleton<SystemTolvane> {
public:
    void scanDlls(std::vector<DllItem>);
    void scanSoftwares(std::vector<SoftwareItem>);
    void repairDlls(std::vector<DllItem>);
    void installSoftwares(std::vector<SoftwareItem>);
    void oneKeyScan(std::vector<DllItem>, std::vector<SoftwareItem>);
    void oneKeyRepair(std::vector<DllItem>, std::vector<SoftwareItem>);
    // Returns at once; the cancel sequence runs on its own thread.
    void cancelTask();

    // The server's address for one file; a heartbeat first when there is no token.
    bool getDownloadUrl(std::string_view fileName, std::string_view fileType, std::string& url);

    void setToken(std::string token);
    std::string token() const;
    bool cancelled() const { return m_cancelled; }

    // Whether a package of that display name is among the installed programs.
    bool isInstalled(std::string_view displayName) const;

private:
    friend class Singleton<SystemTolvane>;
    SystemTolvane() = default;

    // Stop, post, clear the cancel flag, start: as one step against a concurrent cancel.
    template<typename Post>
    void replaceWork(Post post);

    void scanDllsTask(const std::vector<DllItem>&);
    void repairDllTask(const DllItem&);
    void scanSoftwaresTask(const std::vector<SoftwareItem>&);
    void installSoftwareTask(const SoftwareItem&);

    WorkerPool m_pool;
    mutable std::mutex m_tokenMutex;
    std::string m_token;
    std::atomic<bool> m_cancelled { false };
};

// A path on drive C ("C:" or "c:" and more) moved to the Windows directory's drive; any other
// path as it is.
std::string adjustDriveLetter(std::string path, std::string_view windowsDirectory);

// The scan's test for one item: something exists at some checkPath entry (drive-adjusted) with
// the file name appended.
bool dllExists(const DllItem& item, std::string_view windowsDirectory);

// A software item's file name is a plain file name: not empty, no "/" or "\\", not "." or "..".
bool isPlainFileName(std::string_view name);

// The installed test: `displayName` without its last "." and what follows is a prefix of one of
// the listed names (case-sensitive; the first match wins).
bool matchesInstalled(const std::vector<std::string>& displayNames, std::string_view displayName);

} // namespace tvn
