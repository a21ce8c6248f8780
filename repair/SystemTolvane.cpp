// The repair engine's tasks and start operations.

#include "repair/SystemTolvane.h"

#include "core/EventBus.h"
#include "core/GlobalConfig.h"
#include "core/Log.h"
#include "core/PagePaths.h"
#include "core/Paths.h"
#include "core/PrefixChoice.h"
#include "net/Download.h"
#include "net/DownloadApi.h"
#include "net/DownloadCache.h"
#include "net/FetchFile.h"
#include "net/ServerConfig.h"
#include "platform/InstalledPrograms.h"
#include "platform/Launcher.h"
#include "platform/RegistryStore.h"
#include "repair/ProgressPacer.h"
#include "wine/WineRegistry.h"
#include "util/Strings.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tvn {

namespace {

void publish(const char* name, std::vector<EventBus::Value> values)
{
    EventBus::Bus::instance().publish(name, std::move(values));
}

std::string windowsDirectory()
{
    return GlobalConfig::instance().get("system", "windir", "C:\\Windows");
}

// A repair's or an install's message: its values, the error code, then the reason only when there
// is one, and an installer's exit code after that reason.
std::vector<EventBus::Value> withOutcome(std::vector<EventBus::Value> values, const RepairOutcome& outcome)
{
    values.emplace_back(outcome.errorCode);
    if (outcome.reason != RepairReason::None)
        values.emplace_back(std::string(reasonName(outcome.reason)));
    if (outcome.reason == RepairReason::ExitCode)
        values.emplace_back(static_cast<int32_t>(outcome.exitCode));
    return values;
}

// The history's items of a repair or install start.
std::vector<RunItem> runItems(const std::vector<DllItem>& dlls, const std::vector<SoftwareItem>& softwares)
{
    std::vector<RunItem> items;
    for (const DllItem& item : dlls)
        items.push_back({ item.fileName, "repair" });
    for (const SoftwareItem& item : softwares)
        items.push_back({ item.fileName, "install" });
    return items;
}

// DisplayName values longer than this many UTF-16 characters do not fit the 256-byte buffer.
constexpr size_t kMaxDisplayName = 127;

} // namespace

void endPrefixPrograms(const RunRecord& record)
{
    if (record.prefix.empty())
        return;
    LOG_INFO << "history: ending the programs of " << record.prefix;
    platform::endWineserver(record.prefix, record.wine.empty() ? std::string("wine") : record.wine, kRegistrySaveWait);
}

RepairReason downloadFailureReason(int32_t fetchResult)
{
    switch (fetchResult) {
    case kDownloadAborted:
        return RepairReason::Cancelled;
    case kDownloadBadDigest:
        return RepairReason::BadDigest;
    case kDownloadNoFolder:
    case kDownloadCannotWrite:
        return RepairReason::CannotWrite;
    default:
        return RepairReason::Transfer;
    }
}

std::string adjustDriveLetter(std::string path, std::string_view windowsDirectory)
{
    if (path.size() > 1 && (path[0] == 'C' || path[0] == 'c') && path[1] == ':' && !windowsDirectory.empty())
        path[0] = windowsDirectory.front();
    return path;
}

bool isPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

bool dllExists(const DllItem& item, std::string_view windowsDirectory)
{
    for (const std::string& folder : item.checkPath) {
        std::error_code error;
        if (std::filesystem::exists(pagePath(adjustDriveLetter(folder, windowsDirectory) + item.fileName), error))
            return true;
    }
    return false;
}

bool matchesInstalled(const std::vector<std::string>& displayNames, std::string_view displayName)
{
    const size_t dot = displayName.rfind('.');
    const std::string_view prefix = dot == std::string_view::npos ? displayName.substr(0, 0) : displayName.substr(0, dot);
    for (const std::string& name : displayNames) {
        if (!name.empty() && name.starts_with(prefix))
            return true;
    }
    return false;
}

bool SystemTolvane::isInstalled(std::string_view displayName) const
{
    std::vector<std::string> names;
    platform::RegistryStore& store = platform::registryStore();
    constexpr auto machine = platform::RegistryRoot::LocalMachine;
    if (const auto subkeys = store.subkeys(machine, platform::kUninstallKey)) {
        for (const std::string& subkey : *subkeys) {
            const auto name = platform::regReadString(store, machine, std::string(platform::kUninstallKey) + "\\" + subkey, "DisplayName");
            if (name && !name->empty() && utf16Length(*name) <= kMaxDisplayName)
                names.push_back(*name);
        }
    }
    for (std::string& name : platform::dpkgDisplayNames())
        names.push_back(std::move(name));
    // The machine being repaired lists its own programs too, once Wine has written what we changed.
    if (const std::optional<std::filesystem::path> prefix = currentDriveTable().winePrefix) {
        m_registryWrites.flush();
        for (std::string& name : wine::prefixInstalledPrograms(*prefix)) {
            if (utf16Length(name) <= kMaxDisplayName)
                names.push_back(std::move(name));
        }
    }
    return matchesInstalled(names, displayName);
}

namespace {

std::atomic<SystemTolvane*> g_current { nullptr };

} // namespace

SystemTolvane::SystemTolvane()
    : m_controller([this](std::stop_token stop) { runCommands(stop); })
{
    command([] { History::user().recover(endPrefixPrograms); });
}

SystemTolvane::~SystemTolvane()
{
    {
        std::lock_guard lock(m_commandMutex);
        m_cancelledThrough = m_generation; // the running task ends at its next check
        m_commands.clear();
        m_controller.request_stop(); // under the lock: the controller cannot miss it between its check and its wait
    }
    m_commandQueued.notify_one();
    m_controller.join(); // after the command under way, which may wait for the running task
    m_pool.stop();
    closeRun("cancelled");
    SystemTolvane* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

SystemTolvane* SystemTolvane::current()
{
    return g_current.load();
}

void SystemTolvane::setCurrent(SystemTolvane* engine)
{
    g_current = engine;
}

void SystemTolvane::setToken(std::string token)
{
    std::lock_guard lock(m_tokenMutex);
    m_token = std::move(token);
}

std::string SystemTolvane::token() const
{
    std::lock_guard lock(m_tokenMutex);
    return m_token;
}

namespace {

// The program that runs the prefix: its own wine, else the first on PATH when it runs.
std::string wineOf(const wine::WinePrefix& prefix)
{
    return prefix.wine.empty() ? std::string("wine") : prefix.wine.string();
}

} // namespace

// A library registered where it lives: inside a Wine prefix by the regsvr32 of the wine that runs
// it, with the Windows path; else by a regsvr32 on PATH with the native one.
int SystemTolvane::registerLibrary(const std::string& windowsPath, const std::string& nativePath)
{
    if (const std::optional<wine::WinePrefix> prefix = currentWinePrefix(); prefix && wine::isWindowsPath(windowsPath)) {
        m_registryWrites.changed(prefix->path, wineOf(*prefix));
        return platform::shellExecute(wineOf(*prefix), { "regsvr32", "/s", windowsPath }, { "WINEPREFIX=" + prefix->path.string() });
    }
    return platform::shellExecute("regsvr32", { "/s", nativePath });
}

std::optional<DownloadAddress> SystemTolvane::getDownloadUrl(std::string_view fileName, std::string_view fileType)
{
    return askDownloadAddress(fileName, fileType).address;
}

SystemTolvane::AddressAnswer SystemTolvane::askDownloadAddress(std::string_view fileName, std::string_view fileType)
{
    if (apiServer().host.empty()) {
        LOG_INFO << "no api server configured";
        return { std::nullopt, RepairReason::NoServer };
    }
    std::string current = token();
    if (current.empty()) {
        postHeartImpl(current);
        setToken(current);
    }
    if (current.empty()) {
        LOG_INFO << "token: null";
        return { std::nullopt, RepairReason::Unreachable };
    }
    DownloadAddress address = getDownloadAddress(current, fileType, fileName);
    if (address.url.empty())
        return { std::nullopt, RepairReason::NoAddress };
    return { std::move(address), RepairReason::None };
}

std::optional<DownloadAddress> SystemTolvane::trustedSources(const DownloadAddress& address)
{
    DownloadAddress trusted = address;
    trusted.url.clear();
    trusted.mirrors.clear();
    const std::string apiHost = apiServer().host;
    const std::vector<std::string> hosts = trustedDownloadHosts();
    for (const std::string& source : address.sources()) {
        if (const auto refusal = downloadAddressRefusal(DownloadAddress { source, address.sha256, address.size, {} }, apiHost, hosts)) {
            LOG_ERROR << "download address refused, " << *refusal;
            continue;
        }
        (trusted.url.empty() ? trusted.url : trusted.mirrors.emplace_back()) = source;
    }
    if (trusted.url.empty())
        return std::nullopt;
    return trusted;
}

RepairOutcome SystemTolvane::download(const DownloadAddress& address, const std::filesystem::path& destination, Generation generation,
    const std::string& fileName)
{
    const std::optional<DownloadAddress> trusted = trustedSources(address);
    if (!trusted)
        return { kRepairDownloadFailed, RepairReason::Refused };
    ProgressPacer pacer(std::chrono::milliseconds(200));
    const auto progress = [&pacer, &fileName](uint64_t current, uint64_t total) {
        if (pacer.due(current, total, ProgressPacer::Clock::now()))
            publish("onRepairProgress", { fileName, static_cast<double>(current), static_cast<double>(total) });
    };
    const FetchResult result = fetchFile(*trusted, destination, progress, [this, generation] { return isCancelled(generation); },
        DownloadCache::user(), configuredFetchPolicy());
    return result.code == 0 ? RepairOutcome {} : RepairOutcome { kRepairDownloadFailed, downloadFailureReason(result.code) };
}

void SystemTolvane::scanDllsTask(const std::vector<DllItem>& items, Generation generation)
{
    const std::string windows = windowsDirectory();
    for (const DllItem& item : items) {
        if (isCancelled(generation))
            return;
        const bool exists = dllExists(item, windows);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        publish("onScanDlls", { item.fileName, item.fileType, exists });
    }
}

void SystemTolvane::repairDllTask(const DllItem& item, Generation generation)
{
    RepairOutcome outcome;
    if (const AddressAnswer answer = askDownloadAddress(item.fileName, item.fileType); !answer.address) {
        outcome = { kRepairNoAddress, answer.reason };
    } else {
        const std::string windowsPath = adjustDriveLetter(item.filePath, windowsDirectory());
        const std::string destination = pagePath(windowsPath).string();
        if (!beforeWrite(destination)) {
            outcome = { kRepairDownloadFailed, RepairReason::CannotWrite };
        } else {
            outcome = download(*answer.address, destination, generation, item.fileName);
            if (outcome.errorCode != kRepairDone)
                notWritten(destination); // the download leaves the file as it was
        }
        if (outcome.errorCode == kRepairDone && item.needReg) {
            if (!beforeSystemChange())
                outcome = { kRepairLaunchFailed, RepairReason::CannotWrite };
            else if (registerLibrary(windowsPath, destination) != platform::kShellExecuteStarted)
                outcome = { kRepairLaunchFailed, RepairReason::NotStarted };
        }
    }
    itemEnded(outcome);
    publish("onRepairDlls", withOutcome({ item.fileName, item.fileType }, outcome));
}

void SystemTolvane::scanSoftwaresTask(const std::vector<SoftwareItem>& items, Generation generation)
{
    for (const SoftwareItem& item : items) {
        if (isCancelled(generation))
            return;
        publish("onScanSoftwares", { item.fileName, isInstalled(item.displayName) });
    }
}

void SystemTolvane::installSoftwareTask(const SoftwareItem& item, Generation generation)
{
    RepairOutcome outcome;
    AddressAnswer answer;
    if (!isPlainFileName(item.fileName)) {
        // The name becomes a path in the application folder and a program that is run.
        LOG_ERROR << "install refused, not a plain file name: " << item.fileName;
        outcome = { kRepairDownloadFailed, RepairReason::Refused };
    } else if (answer = askDownloadAddress(item.fileName, item.fileType); !answer.address) {
        outcome = { kRepairNoAddress, answer.reason };
    } else if (const std::optional<std::filesystem::path> folder = installerFolder(); !folder) {
        outcome = { kRepairDownloadFailed, RepairReason::CannotWrite };
    } else {
        const std::filesystem::path installer = *folder / item.fileName;
        outcome = download(*answer.address, installer, generation, item.fileName);
        if (outcome.errorCode == kRepairDone && !beforeSystemChange())
            outcome = { kRepairLaunchFailed, RepairReason::CannotWrite };
        else if (outcome.errorCode == kRepairDone)
            outcome = runInstaller(installer, item.cmdParam, generation);
    }
    itemEnded(outcome);
    publish("onInstallSoftwares", withOutcome({ item.fileName }, outcome));
}

RepairOutcome SystemTolvane::runInstaller(const std::filesystem::path& installer, const std::string& parameters, Generation generation)
{
    // Inside a prefix the installer runs under the prefix's wine.
    std::optional<pid_t> process;
    if (const std::optional<wine::WinePrefix> prefix = currentWinePrefix()) {
        m_registryWrites.changed(prefix->path, wineOf(*prefix));
        process = platform::startInstallerInPrefix(prefix->path, wineOf(*prefix), installer.string(), parameters);
    } else {
        process = platform::startInstaller(installer.string(), parameters);
    }
    if (!process)
        return { kRepairLaunchFailed, RepairReason::NotStarted };
    // Waited for in 50 ms steps; a cancel leaves the installer running. Its exit code is not a
    // verdict (installers disagree on what they return), but it is told.
    for (;;) {
        if (const std::optional<int> code = platform::exitCodeIfEnded(*process))
            return *code == 0 ? RepairOutcome {} : RepairOutcome { kRepairDone, RepairReason::ExitCode, *code };
        if (isCancelled(generation)) {
            platform::abandonProcess(*process);
            return { kRepairLaunchFailed, RepairReason::Cancelled };
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void SystemTolvane::command(std::function<void()> task)
{
    std::lock_guard lock(m_commandMutex);
    m_commands.push_back(std::move(task));
    m_commandQueued.notify_one();
}

void SystemTolvane::runCommands(std::stop_token stop)
{
    for (;;) {
        std::function<void()> next;
        {
            std::unique_lock lock(m_commandMutex);
            m_commandQueued.wait(lock, [this, &stop] { return !m_commands.empty() || stop.stop_requested(); });
            if (stop.stop_requested())
                return;
            next = std::move(m_commands.front());
            m_commands.pop_front();
        }
        next();
    }
}

void SystemTolvane::replaceWork(std::function<void(Generation)> post, std::vector<RunItem> journaled)
{
    Generation generation = 0;
    {
        std::lock_guard lock(m_commandMutex);
        generation = ++m_generation;
        m_cancelAsked = false;
    }
    command([this, generation, post = std::move(post), journaled = std::move(journaled)] {
        m_pool.stop(); // the running task ends and reports; the queued ones go
        closeRun("cancelled"); // a run whose last tasks went with them
        if (isCancelled(generation))
            return; // cancelled before it began: dropped without a message
        if (!journaled.empty())
            openRun(journaled);
        post(generation);
        if (!journaled.empty()) {
            m_pool.post([this] {
                bool failed = false;
                {
                    std::lock_guard lock(m_runMutex);
                    failed = m_runFailed;
                }
                closeRun(failed ? "failed" : "finished");
            });
        }
        m_pool.start();
    });
}

void SystemTolvane::openRun(const std::vector<RunItem>& items)
{
    const std::optional<wine::WinePrefix> prefix = currentWinePrefix();
    const wine::DriveTable table = currentDriveTable();
    const auto driveC = table.drives.find('c');
    if (driveC == table.drives.end())
        return;
    std::unique_ptr<History::Run> run = History::user().begin(prefix ? prefix->path.string() : std::string(), driveC->second, items,
        prefix ? wineOf(*prefix) : std::string());
    std::lock_guard lock(m_runMutex);
    m_run = std::move(run);
    m_runFailed = false;
}

void SystemTolvane::closeRun(std::string_view state)
{
    std::lock_guard lock(m_runMutex);
    if (m_run)
        m_run->end(state);
    m_run.reset();
}

bool SystemTolvane::beforeWrite(const std::filesystem::path& path)
{
    std::lock_guard lock(m_runMutex);
    return !m_run || m_run->beforeWrite(path);
}

void SystemTolvane::notWritten(const std::filesystem::path& path)
{
    std::lock_guard lock(m_runMutex);
    if (m_run)
        m_run->notWritten(path);
}

bool SystemTolvane::beforeSystemChange()
{
    std::lock_guard lock(m_runMutex);
    if (!m_run)
        return true;
    // The registry files are taken once the prefix's wineserver has written them.
    return m_run->beforeSystemChange([this] {
        m_registryWrites.flush();
        if (const std::optional<wine::WinePrefix> prefix = currentWinePrefix())
            platform::waitForWineserver(prefix->path, wineOf(*prefix), kRegistrySaveWait);
    });
}

void SystemTolvane::itemEnded(const RepairOutcome& outcome)
{
    std::lock_guard lock(m_runMutex);
    if (outcome.errorCode != kRepairDone)
        m_runFailed = true;
}

bool SystemTolvane::cancelled() const
{
    std::lock_guard lock(m_commandMutex);
    return m_cancelAsked;
}

void SystemTolvane::scanDlls(std::vector<DllItem> items)
{
    scan(std::move(items), {});
}

void SystemTolvane::scanSoftwares(std::vector<SoftwareItem> items)
{
    scan({}, std::move(items));
}

void SystemTolvane::repairDlls(std::vector<DllItem> items)
{
    repair(std::move(items), {});
}

void SystemTolvane::installSoftwares(std::vector<SoftwareItem> items)
{
    repair({}, std::move(items));
}

void SystemTolvane::oneKeyScan(std::vector<DllItem> dlls, std::vector<SoftwareItem> softwares)
{
    scan(std::move(dlls), std::move(softwares));
}

void SystemTolvane::oneKeyRepair(std::vector<DllItem> dlls, std::vector<SoftwareItem> softwares)
{
    repair(std::move(dlls), std::move(softwares));
}

void SystemTolvane::scan(std::vector<DllItem> dlls, std::vector<SoftwareItem> softwares)
{
    if (dlls.empty() && softwares.empty())
        return;
    replaceWork([this, dlls = std::move(dlls), softwares = std::move(softwares)](Generation generation) {
        if (!dlls.empty())
            m_pool.post([this, dlls, generation] { scanDllsTask(dlls, generation); });
        if (!softwares.empty())
            m_pool.post([this, softwares, generation] { scanSoftwaresTask(softwares, generation); });
    });
}

void SystemTolvane::repair(std::vector<DllItem> dlls, std::vector<SoftwareItem> softwares)
{
    if (dlls.empty() && softwares.empty())
        return;
    std::vector<RunItem> journaled = runItems(dlls, softwares);
    replaceWork([this, dlls = std::move(dlls), softwares = std::move(softwares)](Generation generation) {
        for (const DllItem& item : dlls)
            m_pool.post([this, item, generation] { repairDllTask(item, generation); });
        for (const SoftwareItem& item : softwares)
            m_pool.post([this, item, generation] { installSoftwareTask(item, generation); });
    }, std::move(journaled));
}

void SystemTolvane::cancelTask()
{
    {
        // Every start asked so far is cancelled from now on: its running task sees it at once.
        std::lock_guard lock(m_commandMutex);
        m_cancelledThrough = m_generation;
        m_cancelAsked = true;
    }
    command([this] {
        m_pool.stop();
        closeRun("cancelled");
        publish("onCancelTask", {});
    });
}

} // namespace tvn
