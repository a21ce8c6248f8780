// Starting programs: the registration tool and installers the repair engine runs, and the child
// processes the page runs with their console output on a pipe.
//
// Win32-shaped results: shellExecute answers 42 when the program was started (any other number
// when it was not); an installer is a process the caller waits for in steps, or abandons.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tvn::platform {

inline constexpr int kShellExecuteStarted = 42;
inline constexpr int kShellExecuteNotFound = 2;

// Variables set for a child beside the ones it inherits ("NAME=value").
using ExtraEnvironment = std::vector<std::string>;

// Starts `program` (looked up on PATH) with `arguments`, not waiting for it; 42 when it started.
int shellExecute(const std::string& program, const std::vector<std::string>& arguments, const ExtraEnvironment& = {});

// Starts the installer at `path` with `parameters` split as a command line splits them (quotes
// group, nothing is run through a shell). The file is made executable first. nullopt when it
// cannot be started.
std::optional<pid_t> startInstaller(const std::string& path, const std::string& parameters);

// The same inside a Wine prefix: `<wine> <path> <parameters>`, or `<wine> msiexec /i <path>
// <parameters>` for a .msi, with WINEPREFIX set (`wine` found on PATH when it has no "/").
std::optional<pid_t> startInstallerInPrefix(const std::filesystem::path& prefix, const std::string& wine, const std::string& path, const std::string& parameters);

// The wineserver that goes with `wine`: the one beside it when `wine` is a path, else the first on
// PATH (the name alone).
std::string wineserverFor(const std::string& wine);

// Runs `<wineserver> -w` for the prefix: it returns once the prefix's wineserver has ended, and so
// has written the prefix's registry files. A wineserver kept running by a program still open in the
// prefix saves its registry at least every 30 seconds, so the wait is cut after `limit`. True when
// the wineserver ended (or none was running) within it.
bool waitForWineserver(const std::filesystem::path& prefix, const std::string& wine, std::chrono::milliseconds limit);

// Runs `<wineserver> -k` for the prefix (its programs are ended), then waits for the wineserver as
// above. True when it ended within `limit`.
bool endWineserver(const std::filesystem::path& prefix, const std::string& wine, std::chrono::milliseconds limit);

// A command line split into words by the POSIX shell's quoting rules (quotes and backslashes
// group; nothing is expanded or run). An empty list for a blank line; nullopt for unbalanced quotes.
std::optional<std::vector<std::string>> splitCommandLine(const std::string& line);

// A child whose standard output and standard error are both the write end of one pipe; the parent
// keeps the read end (close-on-exec).
struct PipedChild {
    pid_t pid = 0;
    int output = -1;
};

// Starts `arguments` (arguments[0] is the child's argv[0]) with no standard input, in `folder`.
// The program is `program` when given, else arguments[0] looked up on PATH. nullopt (errno set)
// when the child cannot start.
std::optional<PipedChild> startWithOutputPipe(const std::optional<std::filesystem::path>& program,
    const std::vector<std::string>& arguments, const std::filesystem::path& folder);

// Waits for the child to end; its exit code, or 128 + the signal that ended it.
int waitForExit(pid_t);

// nullopt while the process runs; once it has ended (it is then reaped), its exit code, or 128 +
// the signal that ended it (-1 when it cannot be waited for).
std::optional<int> exitCodeIfEnded(pid_t);

// Stops watching a process that is left running; it is reaped when it ends.
void abandonProcess(pid_t);

} // namespace tvn::platform
