// Process start-up with posix_spawn.

#include "platform/Launcher.h"

#include <glib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tvn::platform {

namespace {

std::optional<pid_t> spawn(const std::string& program, const std::vector<std::string>& arguments, bool searchPath)
{
    std::vector<std::string> all = { program };
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int result = searchPath ? posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                                  : posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (result != 0)
        return std::nullopt;
    return pid;
}

} // namespace

int shellExecute(const std::string& program, const std::vector<std::string>& arguments)
{
    const auto pid = spawn(program, arguments, true);
    if (!pid)
        return kShellExecuteNotFound;
    abandonProcess(*pid); // never waited for
    return kShellExecuteStarted;
}

std::optional<pid_t> startInstaller(const std::string& path, const std::string& parameters)
{
    std::vector<std::string> arguments;
    if (!parameters.empty()) {
        gchar** parsed = nullptr;
        if (!g_shell_parse_argv(parameters.c_str(), nullptr, &parsed, nullptr))
            return std::nullopt;
        for (gchar** argument = parsed; *argument; ++argument)
            arguments.emplace_back(*argument);
        g_strfreev(parsed);
    }
    // A downloaded file carries no execute permission.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0)
        ::chmod(path.c_str(), info.st_mode | S_IXUSR | S_IXGRP | S_IXOTH);
    return spawn(path, arguments, false);
}

bool processEnded(pid_t pid)
{
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    return result == pid || result < 0;
}

void abandonProcess(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
}

} // namespace tvn::platform
