// The history folder: runs recorded as they go, closed after a crash, and taken back.

#include "repair/History.h"

#include "core/Log.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tvn {

namespace {

constexpr std::string_view kRegistryFiles[] = { "system.reg", "user.reg", "userdef.reg" };

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Sortable by time: 20261209-053000-123-4242-1.
std::string newRunId()
{
    static std::atomic<int> counter { 0 };
    const int64_t ms = nowMs();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc {};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof(text), "%04d%02d%02d-%02d%02d%02d-%03d-%d-%d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
        utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000), static_cast<int>(::getpid()), ++counter);
    return text;
}

// A line on disk: written, then flushed.
bool appendLine(int journal, const std::string& line)
{
    return !platform::writeAll(journal, line) && ::fdatasync(journal) == 0;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>() };
}

// A copy kept in the history: a link copied as a link, a file's bytes (by the kernel where it
// can) with its mode. Not flushed: the caller flushes the whole file system once.
bool keepCopy(const std::filesystem::path& source, const std::filesystem::path& copy)
{
    std::error_code error;
    std::filesystem::create_directories(copy.parent_path(), error);
    struct stat status {};
    if (::lstat(source.c_str(), &status) != 0)
        return false;
    // A copy left by an attempt before may be a link to an earlier run's copy: never written into.
    ::unlink(copy.c_str());
    if (S_ISLNK(status.st_mode)) {
        std::filesystem::copy_symlink(source, copy, error);
        return !error;
    }
    const platform::FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    const platform::FileDescriptor out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777));
    return in && out && !platform::copyContent(in.get(), out.get());
}

// Everything written to the history's file system reaches the disk.
bool flushFileSystem(const std::filesystem::path& folder)
{
    const platform::FileDescriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle && ::syncfs(handle.get()) == 0;
}

// A kept copy back in place, durably: a link as a link, a file replaced atomically with its mode.
bool restoreCopy(const std::filesystem::path& copy, const std::filesystem::path& target)
{
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    struct stat status {};
    if (::lstat(copy.c_str(), &status) != 0)
        return false;
    if (S_ISLNK(status.st_mode)) {
        std::filesystem::remove(target, error);
        std::filesystem::copy_symlink(copy, target, error);
        return !error;
    }
    const platform::FileDescriptor in(::open(copy.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in)
        return false;
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return false;
    if (::lstat(target.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
        std::filesystem::remove(target, error); // the writer would follow it
    platform::AtomicFileWriter writer;
    return !writer.open(target) && !writer.setMode(status.st_mode & 07777) && !writer.copyFrom(in.get()) && !writer.commit();
}

// The run's journal, opened to append, locked; nullopt when another holds it. A run whose end is
// written lets its lock go a moment later: `wait` covers that moment.
std::optional<platform::FileDescriptor> lockJournal(const std::filesystem::path& runFolder, std::chrono::milliseconds wait = {})
{
    platform::FileDescriptor journal(::open((runFolder / "journal").c_str(), O_RDWR | O_APPEND | O_CLOEXEC));
    if (!journal)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(journal.get(), LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return journal;
}

// The effect lines of what changed in drive_c since the run's listing.
std::string effectLines(const std::filesystem::path& runFolder, const std::filesystem::path& driveC)
{
    std::string lines;
    for (const DriveEffect& effect : listingEffects(parseListing(readText(runFolder / "listing")), listDrive(driveC))) {
        static constexpr std::string_view kKinds[] = { "created", "modified", "deleted" };
        lines += journalLine({ "effect", kKinds[static_cast<int>(effect.kind)], effect.system ? "1" : "0", effect.directory ? "1" : "0",
            encodeField(effect.path) });
    }
    return lines;
}

} // namespace

History::History(std::filesystem::path folder)
    : m_folder(std::move(folder))
{
}

History History::user()
{
    const std::filesystem::path base = platform::userDataFolder();
    return History(base.empty() ? base : base / "tvn" / "history");
}

void History::step(std::string_view name) const
{
    if (m_hook)
        m_hook(name);
}

std::unique_ptr<History::Run> History::begin(const std::string& prefix, const std::filesystem::path& driveC, const std::vector<RunItem>& items,
    const std::string& wine) const
{
    if (!usable())
        return nullptr;
    std::unique_ptr<Run> run(new Run());
    run->m_history = *this;
    run->m_id = newRunId();
    run->m_folder = m_folder / run->m_id;
    run->m_prefix = prefix;
    run->m_driveC = driveC;
    std::error_code error;
    std::filesystem::create_directories(run->m_folder / "saved", error);
    // What the history keeps (old bytes, registry files) is the user's alone.
    ::chmod(m_folder.parent_path().c_str(), 0700);
    ::chmod(m_folder.c_str(), 0700);
    run->m_journal = platform::FileDescriptor(::open((run->m_folder / "journal").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
    if (error || !run->m_journal || ::flock(run->m_journal.get(), LOCK_EX | LOCK_NB) != 0) {
        LOG_ERROR << "history: run cannot be recorded in " << run->m_folder.string();
        return nullptr;
    }
    std::string lines = journalLine({ "begin", std::to_string(nowMs()), encodeField(prefix), encodeField(driveC.string()), encodeField(wine) });
    for (const RunItem& item : items)
        lines += journalLine({ "item", item.action, encodeField(item.fileName) });
    if (!run->append(lines, "begin"))
        return nullptr;
    LOG_INFO << "history: run " << run->m_id << " in " << (prefix.empty() ? driveC.string() : prefix);
    return run;
}

bool History::Run::append(const std::string& line, std::string_view step)
{
    if (!appendLine(m_journal.get(), line)) {
        LOG_ERROR << "history: journal cannot be written: " << m_folder.string();
        return false;
    }
    m_history.step(step);
    return true;
}

bool History::Run::beforeWrite(const std::filesystem::path& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return append(journalLine({ "create", encodeField(path.string()) }), "create");
    if (S_ISDIR(status.st_mode))
        return false;
    const std::string saved = std::to_string(++m_saved);
    const std::filesystem::path copy = m_folder / "saved" / saved;
    if (!keepCopy(path, copy) || !flushFileSystem(m_folder)) {
        LOG_ERROR << "history: old bytes cannot be kept: " << path.string();
        return false;
    }
    return append(journalLine({ "replace", encodeField(path.string()), saved }), "replace");
}

void History::Run::notWritten(const std::filesystem::path& path)
{
    append(journalLine({ "void", encodeField(path.string()) }), "void");
}

bool History::Run::beforeSystemChange(const std::function<void()>& flushRegistry)
{
    if (m_snapshot)
        return true;
    if (flushRegistry)
        flushRegistry();
    const std::filesystem::path snapshot = m_folder / "snapshot";
    bool kept = true;
    for (std::string_view name : kRegistryFiles) {
        const std::filesystem::path file = std::filesystem::path(m_prefix) / name;
        std::error_code error;
        if (!m_prefix.empty() && std::filesystem::exists(file, error))
            kept = keepCopy(file, snapshot / "registry" / name) && kept;
    }
    const DriveListing listing = listDrive(m_driveC);
    // A copy that has not changed since the prefix's last snapshot is linked, not copied again:
    // copies in the history are never written after they are made.
    std::map<std::string, ListedFile> earlier;
    const auto last = m_history.lastSnapshot(m_prefix, m_id);
    if (last) {
        for (const ListedFile& file : last->second)
            earlier.emplace(file.path, file);
    }
    for (const ListedFile& file : listing) {
        if (file.directory || !inSystemFolder(file.path))
            continue;
        const std::filesystem::path copy = snapshot / "system" / file.path;
        if (const auto found = earlier.find(file.path); found != earlier.end() && found->second == file) {
            std::error_code error;
            std::filesystem::create_directories(copy.parent_path(), error);
            if (::link((last->first / "snapshot" / "system" / file.path).c_str(), copy.c_str()) == 0)
                continue;
        }
        kept = keepCopy(m_driveC / file.path, copy) && kept;
    }
    kept = kept && !platform::writeFileAtomically(m_folder / "listing", listingText(listing)) && flushFileSystem(m_folder);
    if (!kept) {
        LOG_ERROR << "history: the prefix's state cannot be kept: " << m_folder.string();
        return false;
    }
    m_snapshot = append(journalLine({ "snapshot" }), "snapshot");
    return m_snapshot;
}

void History::Run::end(std::string_view state)
{
    if (m_ended)
        return;
    m_ended = true;
    std::string lines = m_snapshot ? effectLines(m_folder, m_driveC) : std::string();
    lines += journalLine({ "end", state, std::to_string(nowMs()) });
    append(lines, "end");
    m_journal = platform::FileDescriptor(); // the lock goes with it
    LOG_INFO << "history: run " << m_id << " " << state;
}

std::optional<RunRecord> History::read(const std::filesystem::path& runFolder) const
{
    return parseJournal(readText(runFolder / "journal"), runFolder.filename().string());
}

std::vector<RunRecord> History::runs() const
{
    std::vector<RunRecord> records;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_folder, error), end; !error && it != end; it.increment(error)) {
        if (std::optional<RunRecord> record = read(it->path()))
            records.push_back(std::move(*record));
    }
    std::sort(records.begin(), records.end(), [](const RunRecord& a, const RunRecord& b) {
        return a.started != b.started ? a.started > b.started : a.id > b.id;
    });
    return records;
}

std::optional<std::pair<std::filesystem::path, DriveListing>> History::lastSnapshot(const std::string& prefix, const std::string& exceptId) const
{
    for (const RunRecord& record : runs()) {
        if (record.id != exceptId && record.snapshot && !record.undone() && record.prefix == prefix)
            return std::make_pair(m_folder / record.id, parseListing(readText(m_folder / record.id / "listing")));
    }
    return std::nullopt;
}

void History::recover(const EndPrefix& endPrefix) const
{
    for (RunRecord& record : runs()) {
        if (record.closed() && (!record.undoStarted || record.undone()))
            continue;
        const std::filesystem::path runFolder = m_folder / record.id;
        std::optional<platform::FileDescriptor> journal = lockJournal(runFolder);
        if (!journal)
            continue; // a run of a live process
        if (!record.closed()) {
            std::string lines = record.snapshot ? effectLines(runFolder, record.driveC) : std::string();
            lines += journalLine({ "end", "interrupted", std::to_string(nowMs()) });
            appendLine(journal->get(), lines);
            LOG_INFO << "history: run " << record.id << " interrupted";
        }
        if (record.undoStarted) {
            LOG_INFO << "history: undo of " << record.id << " finished after a restart";
            if (const std::optional<RunRecord> reread = read(runFolder)) {
                if (endPrefix)
                    endPrefix(*reread);
                applyUndo(*reread, runFolder, journal->get());
            }
        }
    }
}

History::UndoResult History::undo(const std::string& id, const EndPrefix& endPrefix) const
{
    const std::vector<RunRecord> records = runs();
    const auto found = std::find_if(records.begin(), records.end(), [&id](const RunRecord& record) { return record.id == id; });
    if (found == records.end())
        return { false, 0, 0, "no such run" };
    if (!found->closed())
        return { false, 0, 0, "the run is still going" };
    if (found->undone())
        return { false, 0, 0, "the run is undone already" };
    // Newest first: a run of the same prefix before this one in the list, not undone and with
    // changes of its own, is newer.
    for (auto it = records.begin(); it != found; ++it) {
        if (it->prefix == found->prefix && it->driveC == found->driveC && !it->undone() && it->madeChanges())
            return { false, 0, 0, "a newer run of this prefix must be undone first: " + it->id };
    }
    const std::filesystem::path runFolder = m_folder / id;
    std::optional<platform::FileDescriptor> journal = lockJournal(runFolder, std::chrono::seconds(2));
    if (!journal)
        return { false, 0, 0, "the run is in use" };
    if (endPrefix)
        endPrefix(*found);
    return applyUndo(*found, runFolder, journal->get());
}

History::UndoResult History::applyUndo(const RunRecord& record, const std::filesystem::path& runFolder, int journal) const
{
    UndoResult result;
    if (!record.undoStarted && !appendLine(journal, journalLine({ "undo", std::to_string(nowMs()) }))) {
        result.error = "the journal cannot be written";
        return result;
    }
    step("undo");
    for (const UndoStep& undoStep : planUndo(record, runFolder)) {
        std::error_code error;
        switch (undoStep.kind) {
        case UndoStep::Kind::Restore:
            if (restoreCopy(undoStep.source, undoStep.target))
                ++result.restored;
            else if (result.error.empty())
                result.error = "cannot restore " + undoStep.target.string();
            break;
        case UndoStep::Kind::Remove:
            if (std::filesystem::is_symlink(undoStep.target, error) || std::filesystem::exists(undoStep.target, error)) {
                if (std::filesystem::remove(undoStep.target, error))
                    ++result.removed;
                else if (result.error.empty())
                    result.error = "cannot remove " + undoStep.target.string();
            }
            break;
        case UndoStep::Kind::RemoveFolder:
            ::rmdir(undoStep.target.c_str()); // only when the run left it empty
            break;
        }
        step("undo step");
    }
    result.ok = result.error.empty();
    if (!result.ok) {
        LOG_ERROR << "history: undo of " << record.id << ": " << result.error;
    }
    appendLine(journal, journalLine({ "undone", std::to_string(nowMs()), std::to_string(result.restored), std::to_string(result.removed) }));
    // An undone run is never undone again: its copies go, its journal stays as the record. After a
    // failure they stay, for whoever mends the prefix by hand.
    if (result.ok) {
        std::error_code error;
        std::filesystem::remove_all(runFolder / "saved", error);
        std::filesystem::remove_all(runFolder / "snapshot", error);
    }
    LOG_INFO << "history: run " << record.id << " undone, " << result.restored << " restored, " << result.removed << " removed";
    return result;
}

std::vector<UndoStep> planUndo(const RunRecord& record, const std::filesystem::path& runFolder)
{
    std::vector<UndoStep> steps;
    if (record.snapshot && !record.prefix.empty()) {
        for (std::string_view name : kRegistryFiles) {
            const std::filesystem::path copy = runFolder / "snapshot" / "registry" / name;
            std::error_code error;
            if (std::filesystem::exists(copy, error))
                steps.push_back({ UndoStep::Kind::Restore, std::filesystem::path(record.prefix) / name, copy });
        }
    }
    std::vector<std::string> createdFolders;
    for (const DriveEffect& effect : record.effects) {
        const std::filesystem::path target = record.driveC / effect.path;
        if (effect.kind == DriveEffect::Kind::Created && effect.directory)
            createdFolders.push_back(effect.path);
        else if (effect.kind == DriveEffect::Kind::Created)
            steps.push_back({ UndoStep::Kind::Remove, target, {} });
        else if (effect.system && !effect.directory)
            steps.push_back({ UndoStep::Kind::Restore, target, runFolder / "snapshot" / "system" / effect.path });
    }
    for (auto change = record.changes.rbegin(); change != record.changes.rend(); ++change) {
        if (change->kind == FileChange::Kind::Replace)
            steps.push_back({ UndoStep::Kind::Restore, change->path, runFolder / "saved" / change->saved });
        else
            steps.push_back({ UndoStep::Kind::Remove, change->path, {} });
    }
    // Deepest first, so that a folder's own created folders go before it.
    std::sort(createdFolders.begin(), createdFolders.end(), [](const std::string& a, const std::string& b) { return a > b; });
    for (const std::string& folder : createdFolders)
        steps.push_back({ UndoStep::Kind::RemoveFolder, record.driveC / folder, {} });
    return steps;
}

} // namespace tvn
