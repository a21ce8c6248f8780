// The application installed for an end-to-end test: a copy of the built application folder in a
// temporary place, a configuration folder and a Downloads folder of its own, and tvn started from there.
#pragma once

#include "tests/support/Eventually.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tvn::test {

// A copy of the application folder in a place of its own, and a configuration folder.
struct Installation {
    TempDir dir;
    std::filesystem::path app = dir / "install" / "app";

    // `testExtension`: the tests' web extension (with the "e2e" module) in place of the real one.
    explicit Installation(bool testExtension = false)
    {
        std::filesystem::create_directories(app / "webextensions");
        for (const char* file : { "tvn", "tvn-pak" })
            std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / file, app / file);
        std::filesystem::copy(std::filesystem::path(TVN_APP_FOLDER) / "icons", app / "icons"); // the application's icon
        std::filesystem::copy(std::filesystem::path(TVN_APP_FOLDER) / "locale", app / "locale", std::filesystem::copy_options::recursive); // native texts' translations
        std::filesystem::copy_file(testExtension ? std::filesystem::path(TVN_E2E_EXTENSION)
                                                 : std::filesystem::path(TVN_APP_FOLDER) / "webextensions" / "libtvn-webextension.so",
            app / "webextensions" / "libtvn-webextension.so");
        std::filesystem::create_directories(dir / "config");
        // Downloads go to the user's Downloads folder: this installation's own, never the home's.
        writeFile(dir / "config" / "user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + downloads.string() + "\"\n");
    }

    std::filesystem::path downloads = dir / "Downloads";

    // Starts tvn; its process id.
    pid_t start(const std::vector<std::string>& arguments = {})
    {
        std::vector<std::string> command = { (app / "tvn").string() };
        command.insert(command.end(), arguments.begin(), arguments.end());
        return startProgram(std::move(command), dir / "config");
    }

    // Waits for tvn to end (a minute at most); its exit code, or -1 when it had to be killed.
    static int wait(pid_t child)
    {
        for (int waited = 0; waited < 600; ++waited) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child)
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }

    int run(const std::vector<std::string>& arguments = {}) { return wait(start(arguments)); }

    std::string log(const char* role) const { return readFile(dir / "config" / "tvn" / "logs" / (std::string(role) + ".log")); }

    // Whether the role's log comes to hold `text`: a running process writes its records out in
    // batches, within a tenth of a second (one that has ended has written everything).
    bool logShows(const char* role, const std::string& text) const
    {
        return eventually([&] { return log(role).find(text) != std::string::npos; });
    }
};

} // namespace tvn::test
