// sys.exec's work: a child process started on a thread of its own, its output (standard output and
// standard error together) handed to the page's callback on the script thread.
//
// The callback is called as callback(done, text, userdata): in stream mode once per piece of at
// most 4095 bytes read (done false), then once with done true and ""; otherwise once with done true
// and the whole output. The final call adds the child's exit status as a fourth argument. The
// calls run in order on the script thread, the last after the child has ended. A child that cannot
// start, or a command longer than 4095 characters, gets no call at all (the log says why).
#pragma once

#include "modules/ModuleBase.h"
#include "modules/ScriptValue.h"

#include <filesystem>
#include <string>

namespace tvn {

struct ExecTask {
    std::string exe;     // the program; a relative one is in the application folder; empty: the command's first word on PATH
    std::string command; // the command line, split by the shell's quoting rules; its first word is argv[0]
    std::string dir;     // the child's working folder; empty: the application folder
    bool show = true;    // no console window to show here: read and ignored
    bool stream = false;
    ScriptValue callback; // a function, or empty
    ScriptValue userdata;
};

inline constexpr size_t kExecPieceBytes = 4095;
inline constexpr size_t kExecMaxCommand = 4095; // characters, as UTF-16 counts them

// Starts the task's thread, owned by `owner`'s page, and returns at once: a page that goes kills the
// child. Script thread only; the script values are released on the script thread.
void startExecTask(ExecTask task, const std::filesystem::path& applicationFolder, const ModuleBase& owner);

} // namespace tvn
