// Setting up a process's log: one rolling file per process role under <app data>/logs.
//
// The record is one line: "YYYY-MM-DD HH:MM:SS.mmm LEVEL [tid] [Class::Method@line] message", the
// level name left-aligned in five columns (FATAL ERROR WARN INFO DEBUG VERB).
#pragma once

#include "core/Log.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tvn::log {

// `text` with every control character written out ("\n", "\r", "\t", else "\xNN"), so that a
// record stays one line whatever it quotes.
std::string escapeControlCharacters(std::string_view text);

// The "loglevel" setting: empty means info; otherwise its first letter, in either case, F E W I D
// V; anything else logs nothing.
Severity severityFromSetting(std::string_view setting);

// The name a record shows: "FATAL", "ERROR", "WARN", "INFO", "DEBUG", "VERB", "NONE".
std::string_view severityName(Severity);

struct Settings {
    std::filesystem::path file;
    Severity level = Severity::Info;
    size_t maxFileSize = 5242880;
    size_t maxFiles = 5; // the current file and the rolled-over ones
};

// Creates the file's folder with its parents and starts the log. Only the first call in a process
// takes effect; false when the log could not be started (then nothing is logged).
bool initialize(const Settings&);

// Writes out what the log holds (records below a warning reach the file within a tenth of a second
// by themselves, and at exit).
void flush();

// The application's set-up: <app data>/logs/<role>.log at the configured level, then the banner
// (a line of 43 hyphens and "process started") that separates the runs of successive processes.
bool startLogging(std::string_view role);

} // namespace tvn::log
