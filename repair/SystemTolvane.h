// SystemTolvane: the repair engine. It scans for DLLs and software packages, downloads and
// registers DLLs, downloads and runs installers: each kind of work a task on its worker pool,
// each item's result one event-bus message ("onScanDlls", "onRepairDlls", "onScanSoftwares",
// "onInstallSoftwares"), and "onCancelTask" at the end of a cancel. While a repair's or an install's
// file arrives, "onRepairProgress" {fileName, current, total} (bytes, as doubles; total 0 while
// unknown) comes a few times a second. A repair's or an install's
// message carries, after its error code, the reason's name when there is one (RepairOutcome.h), and
// an install's then the installer's exit code when that is the reason.
//
// A start operation replaces the previous work: the running task finishes and reports, queued
// tasks are dropped without a message, then the new tasks run. A cancel ends every start asked
// before it: the running task notices at its next check (before each scan item, at each download
// progress report, at each 50 ms of an installer's run), queued tasks are dropped, and
// "onCancelTask" follows the last message of that work. Neither ever waits on the caller's
// thread: each is a command that the engine's controller thread carries out in the order asked,
// so a start during an installer that never ends returns at once (and runs once it has ended),
// and a cancel never touches a start asked after it (each start has a generation; a cancel marks
// every generation up to the newest).
//
// Each repair or install start is a run in the history (History.h): before a file is written into
// the prefix its old bytes are kept, before an installer or a registration the prefix's registry
// and system folders are, so that the run can be undone. A run ends "finished" (every item done),
// "failed" (some not) or "cancelled" (a cancel, or a start that replaced it). The engine's first
// command closes the runs a process that died left open ("interrupted") and finishes cut undos.
//
// The web extension owns the engine (one a process) and makes it current for the modules; when the
// engine goes, its work is cancelled, its open run closed "cancelled" and its threads joined.
#pragma once

#include "net/DownloadApi.h"
#include "repair/History.h"
#include "repair/Items.h"
#include "repair/PendingRegistryWrites.h"
#include "repair/RepairOutcome.h"
#include "repair/WorkerPool.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

namespace tvn {

class SystemTolvane {
public:
    // Queues the history's recovery as the first command: runs a dead process left open are closed
    // and undos it cut are finished before any new run begins.
    SystemTolvane();
    // Cancels every start, waits for the running task, closes the open run and joins the
    // controller and the worker. No message about the cancel is published.
    ~SystemTolvane();
    SystemTolvane(const SystemTolvane&) = delete;
    SystemTolvane& operator=(const SystemTolvane&) = delete;

    // The engine the modules use: set by its owner, nullptr when none is.
    static SystemTolvane* current();
    static void setCurrent(SystemTolvane*);

    void scanDlls(std::vector<DllItem>);
    void scanSoftwares(std::vector<SoftwareItem>);
    void repairDlls(std::vector<DllItem>);
    void installSoftwares(std::vector<SoftwareItem>);
    void oneKeyScan(std::vector<DllItem>, std::vector<SoftwareItem>);
    void oneKeyRepair(std::vector<DllItem>, std::vector<SoftwareItem>);
    // Returns at once; the cancel sequence runs on the controller thread.
    void cancelTask();

    // The server's address for one file, with its digest when the server gives one (a heartbeat
    // first when there is no token); nullopt when there is none.
    std::optional<DownloadAddress> getDownloadUrl(std::string_view fileName, std::string_view fileType);

    // The address with only its sources that may be downloaded (downloadAddressRefusal against the
    // API server's host and the configured ones), the first of them as its url; nullopt when none
    // may. Each refusal is logged with its host.
    static std::optional<DownloadAddress> trustedSources(const DownloadAddress&);

    void setToken(std::string token);
    std::string token() const;
    // A cancel was asked after the last start.
    bool cancelled() const;

    // Whether a package of that display name is among the installed programs.
    bool isInstalled(std::string_view displayName) const;

private:
    using Generation = uint64_t;

    // Every start is one of these two: a scan (DLLs first, then packages) and a repair (DLLs
    // repaired first, then packages installed; a run in the history). Empty lists start nothing.
    void scan(std::vector<DllItem>, std::vector<SoftwareItem>);
    void repair(std::vector<DllItem>, std::vector<SoftwareItem>);

    // A start: a new generation, and the command that stops the pool, posts the work (given its
    // generation) and starts the pool again. A start with `journaled` items is a run in the history.
    void replaceWork(std::function<void(Generation)> post, std::vector<RunItem> journaled = {});
    // The history's run for a repair or install start (none when the history cannot be written).
    void openRun(const std::vector<RunItem>&);
    void closeRun(std::string_view state);
    // Recorded before a file in the prefix is written; false when the old state cannot be kept.
    bool beforeWrite(const std::filesystem::path&);
    void notWritten(const std::filesystem::path&);
    // Recorded before an installer or a registration; false when the prefix's state cannot be kept.
    bool beforeSystemChange();
    void itemEnded(const RepairOutcome&);
    // Queues a command for the controller thread.
    void command(std::function<void()>);
    void runCommands(std::stop_token);
    bool isCancelled(Generation generation) const { return generation <= m_cancelledThrough.load(); }

    void scanDllsTask(const std::vector<DllItem>&, Generation);
    void repairDllTask(const DllItem&, Generation);
    void scanSoftwaresTask(const std::vector<SoftwareItem>&, Generation);
    void installSoftwareTask(const SoftwareItem&, Generation);
    // The server's address for one file, or why there is none.
    struct AddressAnswer {
        std::optional<DownloadAddress> address;
        RepairReason reason = RepairReason::None;
    };
    AddressAnswer askDownloadAddress(std::string_view fileName, std::string_view fileType);
    // The file from the address's trusted sources into `destination` (fetchFile: in rounds, through
    // the download cache), within the address's size when it gives one: kRepairDone, or
    // kRepairDownloadFailed with the reason.
    RepairOutcome download(const DownloadAddress&, const std::filesystem::path& destination, Generation, const std::string& fileName);
    // Starts a downloaded installer where the machine is repaired and waits for it (a cancel stops
    // the wait): kRepairDone (with its exit code when not 0), or kRepairLaunchFailed.
    RepairOutcome runInstaller(const std::filesystem::path& installer, const std::string& parameters, Generation);
    // Registers a library where it lives (see SystemTolvane.cpp): platform::shellExecute's answer.
    int registerLibrary(const std::string& windowsPath, const std::string& nativePath);

    WorkerPool m_pool; // started and stopped by the controller thread only
    mutable PendingRegistryWrites m_registryWrites; // flushed by scans, which are const
    mutable std::mutex m_tokenMutex;
    std::string m_token;

    mutable std::mutex m_commandMutex;
    std::condition_variable m_commandQueued;
    std::deque<std::function<void()>> m_commands;
    std::mutex m_runMutex;
    std::unique_ptr<History::Run> m_run; // the open run, under m_runMutex
    bool m_runFailed = false;            // under m_runMutex
    Generation m_generation = 0;                 // the newest start's, under m_commandMutex
    std::atomic<Generation> m_cancelledThrough { 0 };
    bool m_cancelAsked = false;                  // under m_commandMutex
    std::jthread m_controller; // made last: its commands use every member above
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

// Before an undo: the run's prefix ends its programs and its wineserver (which writes the registry
// it holds); nothing for tvn's own drive_c.
void endPrefixPrograms(const RunRecord&);

// Why fetchUrlToFile's result (not 0) failed a repair.
RepairReason downloadFailureReason(int32_t fetchResult);

} // namespace tvn
