// A listing of every file and folder under a drive_c, with size and modification time, as a run
// takes it before an installer or a registration; and what changed between two listings. The
// walk reads the disk; the text form and the comparison are plain functions.
#pragma once

#include "repair/RunJournal.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct ListedFile {
    std::string path; // relative to drive_c, "/"-separated
    bool directory = false;
    uint64_t size = 0;
    int64_t modified = 0; // nanoseconds since the epoch
    uint64_t inode = 0;

    bool operator==(const ListedFile&) const = default;
};

// Sorted by path.
using DriveListing = std::vector<ListedFile>;

// Every entry under `driveC`; links are listed as themselves, never followed.
DriveListing listDrive(const std::filesystem::path& driveC);

// One line a file: "<d|f>\t<size>\t<modified>\t<inode>\t<percent-encoded path>".
std::string listingText(const DriveListing&);
DriveListing parseListing(std::string_view text);

// Whether a path relative to drive_c lies in windows/system32 or windows/syswow64 (any case).
bool inSystemFolder(std::string_view relative);

// What changed from `before` to `after`: created, modified (size or time), deleted. A folder counts
// as created or deleted, never as modified.
std::vector<DriveEffect> listingEffects(const DriveListing& before, const DriveListing& after);

} // namespace tvn
