// Starting the programs the repair engine runs: the registration tool and installers.
//
// Win32-shaped results: shellExecute answers 42 when the program was started (any other number
// when it was not); an installer is a process the caller waits for in steps, or abandons.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tvn::platform {

inline constexpr int kShellExecuteStarted = 42;
inline constexpr int kShellExecuteNotFound = 2;

// Starts `program` (looked up on PATH) with `arguments`, not waiting for it; 42 when it started.
int shellExecute(const std::string& program, const std::vector<std::string>& arguments);

// Starts the installer at `path` with `parameters` split as a command line splits them (quotes
// group, nothing is run through a shell). The file is made executable first. nullopt when it
// cannot be started.
std::optional<pid_t> startInstaller(const std::string& path, const std::string& parameters);

// True once the process has ended (it is then reaped).
bool processEnded(pid_t);

// Stops watching a process that is left running; it is reaped when it ends.
void abandonProcess(pid_t);

} // namespace tvn::platform
