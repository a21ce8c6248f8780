// The newest lines of tvn's logs, for people: each process's file (main.log, renderer.log, ...)
// read from its end, the lines of all of them merged in time order, each named by its process.
// A line starts with its time ("2026-12-09 00:58:16.138 INFO ..."), so text order is time order;
// a line without one (a message's continuation) stays after the line it follows.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct LogLine {
    std::string process; // the file's name without ".log"
    std::string text;
    bool operator==(const LogLine&) const = default;
};

// The last `count` whole lines of `text` (a first line cut by a read from the middle is dropped
// when `cut`).
std::vector<std::string> lastLines(std::string_view text, size_t count, bool cut);

// The newest `count` lines of all the processes' lines, oldest first.
std::vector<LogLine> mergeLogLines(const std::vector<std::pair<std::string, std::vector<std::string>>>& processes, size_t count);

// The newest `count` lines of the *.log files in `folder`, each file read from its last 256 KiB.
std::vector<LogLine> newestLogLines(const std::filesystem::path& folder, size_t count);

} // namespace tvn
