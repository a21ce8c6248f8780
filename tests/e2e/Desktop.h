// The end-to-end tests' desktop session: tvn started on a page that takes its orders from the
// test (commandPage), its main window found on the X server, and helpers to act on it with xdotool
// like a user and read it back. Run under with-window-manager.sh.
#pragma once

#include "tests/e2e/Installation.h"
#include "tests/support/Eventually.h"
#include "tests/support/PageServer.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>

namespace tvn::test {

// The desktop's default handler for some URL schemes (a web browser for http and https): records
// the addresses it is asked to open, one a line. GIO finds it through XDG_DATA_HOME (the
// application) and the configuration folder (mimeapps.list); tvn inherits both.
struct DefaultHandler {
    std::filesystem::path opened;

    DefaultHandler(const Installation& installation, const std::vector<std::string>& schemes)
        : opened(installation.dir / "opened.txt")
    {
        const auto data = installation.dir / "data";
        std::filesystem::create_directories(data / "applications");
        const auto program = installation.dir / "handler.sh";
        writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened.string() + "'\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        std::string types, defaults;
        for (const std::string& scheme : schemes) {
            types += "x-scheme-handler/" + scheme + ";";
            defaults += "x-scheme-handler/" + scheme + "=tvn-test-handler.desktop\n";
        }
        writeFile(data / "applications" / "tvn-test-handler.desktop",
            "[Desktop Entry]\nType=Application\nName=Test handler\nExec=" + program.string() + " %u\nMimeType=" + types + "\n");
        writeFile(installation.dir / "config" / "mimeapps.list", "[Default Applications]\n" + defaults);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    ~DefaultHandler() { unsetenv("XDG_DATA_HOME"); }

    std::string received() const { return readFile(opened); }
};

// A shell command's standard output (its error output discarded).
inline std::string output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Geometry& g)
{
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

// A session bus of the test's own (dbus-daemon) for services the test provides; tvn inherits its
// address. Services are programs given a record file, which write "ready" there once their name is
// theirs (so they are there before tvn starts).
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            m_oldAddress = address;
        std::istringstream lines(output("dbus-daemon --session --fork --print-address=1 --print-pid=1"));
        std::string address, pid;
        std::getline(lines, address);
        std::getline(lines, pid);
        if (address.empty() || pid.empty())
            return;
        m_daemon = std::stoi(pid);
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~PrivateSessionBus()
    {
        for (pid_t service : m_services) {
            kill(service, SIGTERM);
            waitpid(service, nullptr, 0);
        }
        if (m_daemon > 0)
            kill(m_daemon, SIGTERM);
        if (m_oldAddress)
            setenv("DBUS_SESSION_BUS_ADDRESS", m_oldAddress->c_str(), 1);
        else
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Starts `command` with the record file as its last argument; the record's path once the
    // service is ready, empty when it never is (or there is no bus).
    std::filesystem::path startService(std::vector<std::string> command, const std::filesystem::path& record)
    {
        if (m_daemon <= 0)
            return {};
        command.push_back(record.string());
        m_services.push_back(startProgram(std::move(command), record.parent_path()));
        return eventually([&] { return readFile(record).starts_with("ready\n"); }) ? record : std::filesystem::path();
    }

private:
    pid_t m_daemon = 0;
    std::vector<pid_t> m_services;
    std::optional<std::string> m_oldAddress;
};

// Where the X server has a window, as xdotool reports it.
inline Geometry windowGeometry(const std::string& id)
{
    std::istringstream lines(output("xdotool getwindowgeometry --shell " + id));
    std::map<std::string, int> values;
    for (std::string line; std::getline(lines, line);)
        if (const size_t equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
    return { values["X"], values["Y"], values["WIDTH"], values["HEIGHT"] };
}

// tvn on a page that the test drives, and its window as the X server sees it.
class Window : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(installation.dir / "config" / "tvn");
        writeFile(installation.dir / "config" / "tvn" / "config.ini", "[app]\nloglevel = debug\n[system]\nwineprefix = none\n");
        server.addPage("index.html", commandPage(pageHead()));
        writeFile(installation.app / "url.txt", server.url() + "/index.html");
        beforeStart();
        tvn = installation.start(startArguments());
        ASSERT_EQ(run("1"), "1");
        id = output("xdotool search --sync --classname CefMainWindow_tvn");
        id.erase(id.find_last_not_of("\n") + 1);
        ASSERT_FALSE(id.empty());
        ASSERT_EQ(id.find('\n'), std::string::npos) << "one main window";
    }

    void TearDown() override
    {
        stopDragSource();
        if (tvn > 0) {
            server.addCommand("window.close()");
            EXPECT_EQ(Installation::wait(tvn), 0);
            if (HasFailure())
                std::cerr << installation.log("main");
        }
    }

    virtual std::string pageHead() { return ""; }
    virtual void beforeStart() { }
    virtual std::vector<std::string> startArguments() { return {}; }

    // The windows tvn shows besides the main window (dialogs, menus: their class is "tvn").
    std::vector<std::string> otherWindows()
    {
        std::istringstream lines(output("xdotool search --onlyvisible --classname '^tvn$'"));
        std::vector<std::string> ids;
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                ids.push_back(line);
        return ids;
    }

    // Runs `script` in the page; its value as a string ("!" and the message when it throws). Each
    // command carries a number that its report repeats, so a report that comes late (or twice)
    // is never taken for another's.
    std::string run(const std::string& script)
    {
        send(script);
        return result();
    }
    void send(const std::string& script)
    {
        m_tag = "#" + std::to_string(++m_commands) + " ";
        server.addCommand("(function () { try { return '" + m_tag + "' + String((0, eval)(" + nlohmann::json(script).dump()
            + ")); } catch (e) { return '" + m_tag + "!' + e.message; } })()");
    }
    std::string result(std::chrono::seconds limit = std::chrono::seconds(30))
    {
        const auto report = server.waitForReportStartingWith(m_tag, limit);
        return report ? report->substr(m_tag.size()) : "(no answer)";
    }
    // Runs `script` (one that may run twice) when the page may have lost a request in flight (its
    // own navigation cut it off): the server may hand a command to that dead request, so it is
    // sent again until the page answers. nullopt when it never does.
    std::optional<std::string> runAgainUntilAnswered(const std::string& script)
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0)
                server.withdrawCommands(); // the last attempt's, if no page took it: it must not run twice
            send(script);
            if (std::string answer = result(std::chrono::seconds(4)); answer != "(no answer)")
                return answer;
        }
        return std::nullopt;
    }
    bool resync() { return runAgainUntilAnswered("'sync'").has_value(); }

    // Keys to the one dialog tvn shows (its windows other than the main window have class "tvn"):
    // each action is "key <keys>" or "type <text>", typed once the dialog is the active window.
    // The one dialog tvn shows, once it is there; "" when there is none (or more than one).
    std::string dialogWindow()
    {
        std::string dialog;
        eventually([&] { // a search fails when a window goes while it looks
            dialog = output("xdotool search --onlyvisible --classname '^tvn$'");
            dialog.erase(dialog.find_last_not_of("\n") + 1);
            return !dialog.empty() && dialog.find('\n') == std::string::npos;
        });
        return dialog.find('\n') == std::string::npos ? dialog : "";
    }

    void answerDialog(const std::vector<std::string>& actions)
    {
        const std::string dialog = dialogWindow();
        ASSERT_FALSE(dialog.empty()) << "one dialog";
        ASSERT_TRUE(eventually([&] {
            std::system(("xdotool windowactivate " + dialog).c_str());
            return output("xdotool getactivewindow") == dialog + "\n";
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (const std::string& action : actions)
            ASSERT_EQ(std::system(("xdotool " + action).c_str()), 0) << action;
    }

    // Runs `script`, which sets `out` when its work is done; the value of `out` then (or "pending"
    // when `limit` passed first).
    std::string runAsync(const std::string& script, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        run("var out = 'pending'; " + script + "; 1");
        std::string value;
        eventually([&] { return (value = run("out")) != "pending"; }, limit);
        return value;
    }

    Geometry geometry() { return windowGeometry(id); }
    bool geometryBecomes(const Geometry& expected)
    {
        return eventually([&] { return geometry() == expected; });
    }
    std::string property(const std::string& name) { return output("xprop -id " + id + " " + name); }
    bool hasState(const std::string& state) { return property("_NET_WM_STATE").find(state) != std::string::npos; }

    // xdotool as the user: a press at window coordinates (x, y), moves by (dx, dy) in steps, release.
    void drag(int x, int y, int dx, int dy)
    {
        const Geometry g = geometry();
        std::ostringstream command;
        command << "xdotool mousemove " << g.x + x << " " << g.y + y << " sleep 0.2 mousedown 1";
        for (int step = 1; step <= 5; ++step)
            command << " sleep 0.1 mousemove " << g.x + x + dx * step / 5 << " " << g.y + y + dy * step / 5;
        command << " sleep 0.3 mouseup 1";
        ASSERT_EQ(std::system(command.str().c_str()), 0);
    }
    // Drags `files` from another program (the test drag source, which stays until the test ends:
    // the drop's data comes from it) and drops them on the page.
    void dragIn(const std::vector<std::filesystem::path>& files)
    {
        std::vector<std::string> command = { TVN_TEST_DRAG_SOURCE };
        for (const auto& file : files)
            command.push_back(file.string());
        stopDragSource(); // the last drag's
        m_dragSource = startProgram(command, installation.dir / "config");
        ASSERT_FALSE(output("xdotool search --sync --name 'tvn test drag source' | head -1").empty());
        std::system(("xdotool windowmove " + id + " 400 200").c_str());
        ASSERT_TRUE(eventually([&] { return geometry().x == 400; }));
        std::ostringstream drag;
        drag << "xdotool mousemove 100 90 sleep 0.3 mousedown 1";
        for (int step = 1; step <= 12; ++step)
            drag << " sleep 0.1 mousemove " << 100 + step * 60 << " " << 90 + step * 30;
        // Hover a moment, as a user does: the page's web process answers the drag's motion before
        // the drop is taken.
        drag << " sleep 0.4 mousemove 830 455 sleep 0.4 mousemove 820 450 sleep 0.5 mouseup 1";
        EXPECT_EQ(std::system(drag.str().c_str()), 0);
    }
    // Opens the file dialog from the page in `folder` ("openFileDialog", several files, with the
    // options given as script); `variable` is "pending" until it is answered, then the chosen
    // paths, sorted, joined by "|". Returns once the dialog has the keyboard.
    void openFileDialog(const std::string& variable, const std::filesystem::path& folder, const std::string& options)
    {
        run("var " + variable + " = 'pending'; module('e2e').call('openFileDialog', { mode: '1', title: 'pick', default_path: '" + folder.string()
            + "', " + options + " }).then(function (r) { " + variable + " = r.files.sort().join('|'); }); 1");
        std::string dialog;
        EXPECT_TRUE(eventually([&] {
            dialog = output("xdotool search --onlyvisible --name '^pick$'");
            dialog.erase(dialog.find_last_not_of("\n") + 1);
            return !dialog.empty() && dialog.find('\n') == std::string::npos;
        }));
        EXPECT_TRUE(eventually([&] {
            std::system(("xdotool windowactivate " + dialog).c_str());
            return output("xdotool getactivewindow") == dialog + "\n";
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(800)); // the chooser fills its list
    }
    void doubleClick(int x, int y)
    {
        const Geometry g = geometry();
        const std::string command = "xdotool mousemove " + std::to_string(g.x + x) + " " + std::to_string(g.y + y) + " sleep 0.2 click --repeat 2 --delay 80 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    PageServer server;
    Installation installation { true }; // with the "e2e" module
    pid_t tvn = -1;
    std::string id;

private:
    void stopDragSource()
    {
        if (m_dragSource > 0) {
            kill(m_dragSource, SIGTERM);
            waitpid(m_dragSource, nullptr, 0);
        }
        m_dragSource = -1;
    }

    int m_commands = 0;
    std::string m_tag;
    pid_t m_dragSource = -1;
};

} // namespace tvn::test
