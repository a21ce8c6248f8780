// History: the runs the engine made in each prefix (and in tvn's own drive_c), each with what it
// needs to be taken back, and the undo of a run. One folder a run, under
// $XDG_DATA_HOME/tvn/history/<id>/:
//
//     journal             RunJournal.h's lines; locked (flock) by the process while the run is open
//     saved/<n>           old bytes of a file the run replaced
//     snapshot/registry/  the prefix's system.reg, user.reg, userdef.reg before its first installer
//                         or registration
//     snapshot/system/    the files of windows/system32 and windows/syswow64 then
//     listing             every entry of drive_c then (DriveListing.h)
//
// Every line is on disk before the change it announces (and what it names, before the line), so a
// process killed at any moment leaves a run that can be undone: the next start closes it as
// "interrupted". An undo is journaled too; one cut part-way is finished by the next start.
// Touches the disk only under its folder and in the run's prefix.
#pragma once

#include "platform/FileDescriptor.h"
#include "repair/DriveListing.h"
#include "repair/RunJournal.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

class History {
public:
    explicit History(std::filesystem::path folder);
    // $XDG_DATA_HOME/tvn/history (else ~/.local/share/tvn/history); an empty folder without a home.
    static History user();

    const std::filesystem::path& folder() const { return m_folder; }
    bool usable() const { return !m_folder.empty(); }

    // Called after each line is flushed and after each change recorded; tests stop the process there.
    using StepHook = std::function<void(std::string_view step)>;

    class Run;

    // A new run's folder and journal (its begin and item lines written); nullptr when they cannot
    // be made. `prefix` "" is tvn's own drive_c; `wine` runs the prefix.
    std::unique_ptr<Run> begin(const std::string& prefix, const std::filesystem::path& driveC, const std::vector<RunItem>& items,
        const std::string& wine = {}) const;

    // Every run, newest first.
    std::vector<RunRecord> runs() const;

    // Asks the run's prefix to end its programs and wineserver before its files are restored.
    using EndPrefix = std::function<void(const RunRecord&)>;

    // Runs left open by a process that died are closed as "interrupted"; undos cut part-way are
    // finished.
    void recover(const EndPrefix&) const;

    struct UndoResult {
        bool ok = false;
        uint64_t restored = 0;
        uint64_t removed = 0;
        std::string error;
    };
    // Takes a run back: only a closed run, and only the newest not undone of its prefix (runs that
    // changed nothing aside).
    UndoResult undo(const std::string& id, const EndPrefix&) const;

    void setStepHook(StepHook hook) { m_hook = std::move(hook); }

private:
    std::optional<RunRecord> read(const std::filesystem::path& runFolder) const;
    // The listing and the copies of the newest earlier snapshot of `prefix`, for copies that have
    // not changed since to be linked instead of copied again.
    std::optional<std::pair<std::filesystem::path, DriveListing>> lastSnapshot(const std::string& prefix, const std::string& exceptId) const;
    UndoResult applyUndo(const RunRecord&, const std::filesystem::path& runFolder, int journal) const;
    void step(std::string_view name) const;

    std::filesystem::path m_folder;
    StepHook m_hook;
};

// A run being made: each call returns once its line (and what it names) is on disk.
class History::Run {
public:
    ~Run() = default;
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    const std::string& id() const { return m_id; }
    // Before `path` is written: its old bytes kept, or its absence noted. False when that cannot
    // be recorded; the change must not happen then.
    bool beforeWrite(const std::filesystem::path& path);
    // The change announced for `path` did not happen (the file is as it was).
    void notWritten(const std::filesystem::path& path);
    // Before an installer or a registration, once a run: `flushRegistry` first (the prefix's
    // wineserver writes its registry), then the registry files, the system folders and the
    // listing of drive_c. False when they cannot be kept; the change must not happen then.
    bool beforeSystemChange(const std::function<void()>& flushRegistry);
    // The run's end: what changed in drive_c since the snapshot, then the state line.
    void end(std::string_view state);

private:
    friend class History;
    Run() = default;
    bool append(const std::string& line, std::string_view step);

    History m_history { {} }; // a copy: the run may outlive the value that began it
    std::filesystem::path m_folder;
    std::string m_id;
    std::string m_prefix;
    std::filesystem::path m_driveC;
    platform::FileDescriptor m_journal;
    int m_saved = 0;
    bool m_snapshot = false;
    bool m_ended = false;
};

// One step of an undo, in the order they are taken.
struct UndoStep {
    enum class Kind { Restore, Remove, RemoveFolder };
    Kind kind = Kind::Restore;
    std::filesystem::path target;
    std::filesystem::path source; // Restore: the kept copy
};

// The steps that take a run back, from its record and its folder: the registry files, what the
// snapshot saw change (created entries removed, system files restored), then the run's own writes
// in reverse order (old bytes back, created files removed).
std::vector<UndoStep> planUndo(const RunRecord&, const std::filesystem::path& runFolder);

} // namespace tvn
