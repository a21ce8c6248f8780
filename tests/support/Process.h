// Starting a program of the project for an end-to-end test or a benchmark, with its own
// configuration folder.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace tvn::test {

// Starts `command` (the program's path first) with XDG_CONFIG_HOME set to `configFolder`.
inline pid_t startProgram(std::vector<std::string> command, const std::filesystem::path& configFolder)
{
    const pid_t child = fork();
    if (child == 0) {
        setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
        std::vector<char*> argv;
        for (auto& argument : command)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

} // namespace tvn::test
