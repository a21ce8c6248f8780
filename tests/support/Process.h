// Starting a program of the project for an end-to-end test or a benchmark, with its own
// configuration folder.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace tvn::test {

// Starts `command` (the program's path first) with XDG_CONFIG_HOME set to `configFolder` (and the
// cache and data folders beside it) and LANGUAGE to English (or TVN_TEST_LANGUAGE); its
// standard output and error go to `output` when one is given.
inline pid_t startProgram(std::vector<std::string> command, const std::filesystem::path& configFolder, const std::filesystem::path& output = {})
{
    const pid_t child = fork();
    if (child == 0) {
        if (!output.empty()) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
        setenv("XDG_CACHE_HOME", (configFolder.parent_path() / "cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (configFolder.parent_path() / "data").c_str(), 1);
        // The tests read the page's English words, whatever the machine's language; a test of
        // another language says so with TVN_TEST_LANGUAGE: its value for LANGUAGE, or empty for
        // none (the locale's variables then speak).
        const char* language = std::getenv("TVN_TEST_LANGUAGE");
        if (language && !*language)
            unsetenv("LANGUAGE");
        else
            setenv("LANGUAGE", language ? language : "en", 1);
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
