// A run's journal: what one repair or install run is about to change in a prefix, one line per
// entry, each flushed to disk before the change it announces, so that the run can be taken back
// whatever moment the process died at. This file holds the format and its reading; nothing here
// touches the disk.
//
// Fields are separated by tabs; paths and names are percent-encoded (a file name may hold any
// byte but "/" and NUL). Times are milliseconds since the epoch.
//
//   begin     <started> <prefix> <drive_c> <wine>   the first line; prefix "" is tvn's own drive_c,
//                                              wine the program that runs the prefix
//   item      <action> <fileName>              repair | install, one per item asked for
//   replace   <path> <saved>                   the file's old bytes are in saved/<saved>
//   create    <path>                           the file did not exist
//   void      <path>                           the change announced last for path did not happen
//   snapshot                                   the registry files and the system folders are kept
//                                              in snapshot/, drive_c's listing in listing
//   effect    <kind> <system> <directory> <path>   what happened in drive_c between the snapshot
//                                              and the end: created | modified | deleted, a path
//                                              relative to drive_c; 1 or 0 for in a system folder
//                                              and for a folder
//   end       <state> <ended>                  finished | failed | cancelled | interrupted
//   undo      <started>                        an undo began
//   undone    <ended> <restored> <removed>
//
// A last line without its line feed was cut by a crash and is not read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct RunItem {
    std::string fileName;
    std::string action; // "repair" or "install"
};

struct FileChange {
    enum class Kind { Replace, Create };
    Kind kind = Kind::Create;
    std::filesystem::path path;
    std::string saved; // Replace: the name under saved/
};

struct DriveEffect {
    enum class Kind { Created, Modified, Deleted };
    Kind kind = Kind::Created;
    bool system = false;    // under windows/system32 or windows/syswow64
    bool directory = false;
    std::string path;       // relative to drive_c, "/"-separated
};

struct RunRecord {
    std::string id;
    std::string prefix;            // the Wine prefix's folder; "" for tvn's own drive_c
    std::filesystem::path driveC;
    std::string wine;              // what runs the prefix (its wineserver is beside it)
    int64_t started = 0;
    int64_t ended = 0;             // 0 while it runs
    std::string state;             // "" while it runs; finished | failed | cancelled | interrupted | undone
    std::vector<RunItem> items;
    std::vector<FileChange> changes; // announced and not voided, in order
    bool snapshot = false;
    std::vector<DriveEffect> effects;
    bool undoStarted = false;
    uint64_t restored = 0;
    uint64_t removed = 0;

    bool undone() const { return state == "undone"; }
    // A run whose end is written (an undone one too).
    bool closed() const { return !state.empty(); }
    // Whether there is anything to take back: a file announced, or the prefix's state kept before an
    // installer or a registration.
    bool madeChanges() const { return !changes.empty() || snapshot; }
    // The files it changed, each counted once.
    size_t changedCount() const;
    // Changes it made that an undo cannot take back: files outside the system folders that were
    // there before and were changed or deleted (their old bytes were never kept).
    std::vector<std::string> cannotRestore() const;
};

// One line's text, with its line feed.
std::string journalLine(std::initializer_list<std::string_view> fields);
std::string encodeField(std::string_view);

// The record of a journal's text; nullopt when its first line is not a begin.
std::optional<RunRecord> parseJournal(std::string_view text, std::string id = {});

} // namespace tvn
