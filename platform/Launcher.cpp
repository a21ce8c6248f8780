// Process start-up with posix_spawn.

#include "platform/Launcher.h"

#include "platform/FileDescriptor.h"
#include "platform/ProcessEnvironment.h"
#include "platform/StopEvent.h"
#include "platform/ThreadGroup.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tvn::platform {

namespace {

// A started program's environment with `extra` set over it.
std::vector<std::string> environmentWith(const ExtraEnvironment& extra)
{
    std::vector<std::string> variables = extra;
    for (const std::string& variable : programEnvironment()) {
        const std::string_view entry(variable);
        const std::string_view name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const std::string& set : extra)
            overridden = overridden || set.substr(0, set.find('=')) == name;
        if (!overridden)
            variables.emplace_back(entry);
    }
    return variables;
}

// The strings as exec takes them: pointers into `strings`, then a null pointer.
std::vector<char*> nullTerminated(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& string : strings)
        pointers.push_back(string.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A child gets its standard streams and nothing else: a descriptor some library opened without
// close-on-exec (a stream, a log file, a socket) must not reach an installer.
void closeInheritedDescriptors(posix_spawn_file_actions_t& actions)
{
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
}

std::optional<pid_t> spawn(const std::string& program, const std::vector<std::string>& arguments, bool searchPath, const ExtraEnvironment& extra = {})
{
    std::vector<std::string> all = { program };
    all.insert(all.end(), arguments.begin(), arguments.end());
    const std::vector<char*> argv = nullTerminated(all);
    std::vector<std::string> variables = environmentWith(extra);
    const std::vector<char*> envp = nullTerminated(variables);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    closeInheritedDescriptors(actions);
    pid_t pid = 0;
    const int result = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data())
                                  : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        return std::nullopt;
    return pid;
}

// A waited-for child's exit code, or 128 + the signal that ended it.
int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace

int shellExecute(const std::string& program, const std::vector<std::string>& arguments, const ExtraEnvironment& extra)
{
    const auto pid = spawn(program, arguments, true, extra);
    if (!pid)
        return kShellExecuteNotFound;
    abandonProcess(*pid); // never waited for
    return kShellExecuteStarted;
}

std::optional<pid_t> startInstaller(const std::string& path, const std::string& parameters)
{
    const std::optional<std::vector<std::string>> arguments = splitCommandLine(parameters);
    if (!arguments)
        return std::nullopt;
    // A downloaded file carries no execute permission; it gets it for the user alone.
    ::chmod(path.c_str(), S_IRWXU);
    return spawn(path, *arguments, false);
}

std::optional<pid_t> startInstallerInPrefix(const std::filesystem::path& prefix, const std::string& wine, const std::string& path, const std::string& parameters)
{
    const std::optional<std::vector<std::string>> split = splitCommandLine(parameters);
    if (!split)
        return std::nullopt;
    std::vector<std::string> arguments;
    const bool msi = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".msi") == 0 || path.compare(path.size() - 4, 4, ".MSI") == 0);
    if (msi)
        arguments = { "msiexec", "/i" };
    arguments.push_back(path);
    arguments.insert(arguments.end(), split->begin(), split->end());
    return spawn(wine, arguments, true, { "WINEPREFIX=" + prefix.string() });
}

std::string wineserverFor(const std::string& wine)
{
    const std::filesystem::path path(wine);
    return path.has_parent_path() ? (path.parent_path() / "wineserver").string() : std::string("wineserver");
}

bool waitForWineserver(const std::filesystem::path& prefix, const std::string& wine, std::chrono::milliseconds limit)
{
    const auto pid = spawn(wineserverFor(wine), { "-w" }, true, { "WINEPREFIX=" + prefix.string() });
    if (!pid)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (const std::optional<int> code = exitCodeIfEnded(*pid))
            return *code == 0;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Only the waiting client goes; the wineserver and the prefix's programs run on.
    ::kill(*pid, SIGKILL);
    waitForExit(*pid);
    return false;
}

bool endWineserver(const std::filesystem::path& prefix, const std::string& wine, std::chrono::milliseconds limit)
{
    if (const auto pid = spawn(wineserverFor(wine), { "-k" }, true, { "WINEPREFIX=" + prefix.string() }))
        waitForExit(*pid);
    return waitForWineserver(prefix, wine, limit);
}

std::optional<std::vector<std::string>> splitCommandLine(const std::string& line)
{
    std::vector<std::string> words;
    gchar** parsed = nullptr;
    GError* error = nullptr;
    if (!g_shell_parse_argv(line.c_str(), nullptr, &parsed, &error)) {
        // GLib calls a blank line an error; it is simply no words.
        const bool blank = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
        g_error_free(error);
        return blank ? std::optional(words) : std::nullopt;
    }
    for (gchar** word = parsed; *word; ++word)
        words.emplace_back(*word);
    g_strfreev(parsed);
    return words;
}

std::optional<PipedChild> startWithOutputPipe(const std::optional<std::filesystem::path>& program,
    const std::vector<std::string>& arguments, const std::filesystem::path& folder)
{
    if (arguments.empty() && !program) {
        errno = ENOENT;
        return std::nullopt;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return std::nullopt;
    // A roomy pipe lets a child that writes much run ahead of its reader instead of waiting on it
    // every 64 KiB (the size may be refused; the default then stands).
    ::fcntl(pipeEnds[0], F_SETPIPE_SZ, 1 << 20);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    closeInheritedDescriptors(actions);

    std::vector<std::string> all = arguments;
    if (all.empty())
        all.push_back(program->string());
    const std::vector<char*> argv = nullTerminated(all);
    std::vector<std::string> variables = programEnvironment();
    const std::vector<char*> envp = nullTerminated(variables);
    pid_t pid = 0;
    const int result = program ? posix_spawn(&pid, program->c_str(), &actions, nullptr, argv.data(), envp.data())
                               : posix_spawnp(&pid, all[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (result != 0) {
        ::close(pipeEnds[0]);
        errno = result;
        return std::nullopt;
    }
    return PipedChild { pid, pipeEnds[0] };
}

int waitForExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return exitCodeOf(status);
}

std::optional<int> exitCodeIfEnded(pid_t pid)
{
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == 0 || (result < 0 && errno == EINTR))
        return std::nullopt;
    return result == pid ? exitCodeOf(status) : -1;
}

void abandonProcess(pid_t pid)
{
    // The process's own group: joined when the process ends (static destruction), each waiter
    // woken by its stop. A process left running then is never reaped by tvn; it is no zombie of a
    // process that has gone.
    static ThreadGroup waiters;
    waiters.start([pid](std::stop_token stop) {
        const FileDescriptor process(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
        const StopEvent stopEvent(stop);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (process) {
                if (!waitReadable(process.get(), stopEvent, stop))
                    return;
            } else {
                // A kernel without pidfd: asked every 100 ms.
                if (stop.stop_requested())
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    });
}

} // namespace tvn::platform
