// End to end: the main window on a small desktop (a window manager and a panel under Xvfb; see
// with-window-manager.sh). The page takes its orders from the test (commandPage), the test acts
// on the window with xdotool like a user, and reads the window back from the X server.
#include "tests/e2e/Installation.h"
#include "tests/support/PageServer.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace tvn;
using test::Installation;

namespace {

// A shell command's standard output (its error output discarded).
std::string output(const std::string& command)
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

std::ostream& operator<<(std::ostream& out, const Geometry& g)
{
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

// Polls `condition` for up to ten seconds.
template<typename Condition>
bool eventually(Condition condition)
{
    for (int i = 0; i < 100; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

// tvn on a page that the test drives, and its window as the X server sees it.
class Window : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(installation.dir / "config" / "tvn");
        test::writeFile(installation.dir / "config" / "tvn" / "config.ini", "[app]\nloglevel = debug\n");
        server.addPage("index.html", test::commandPage(pageHead()));
        test::writeFile(installation.app / "url.txt", server.url() + "/index.html");
        beforeStart();
        tvn = installation.start();
        ASSERT_EQ(run("1"), "1");
        id = output("xdotool search --sync --classname CefMainWindow_tvn");
        id.erase(id.find_last_not_of("\n") + 1);
        ASSERT_FALSE(id.empty());
        ASSERT_EQ(id.find('\n'), std::string::npos) << "one main window";
    }

    void TearDown() override
    {
        if (tvn > 0) {
            server.addCommand("window.close()");
            EXPECT_EQ(Installation::wait(tvn), 0);
            if (HasFailure())
                std::cerr << installation.log("main");
        }
    }

    virtual std::string pageHead() { return ""; }
    virtual void beforeStart() { }

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

    // Runs `script` in the page; its value as a string.
    std::string run(const std::string& script)
    {
        send(script);
        return result();
    }
    void send(const std::string& script)
    {
        m_expected = server.reports().size() + 1;
        server.addCommand(script);
    }
    std::string result()
    {
        if (!server.waitForReports(m_expected, std::chrono::seconds(30)))
            return "(no answer)";
        return server.reports()[m_expected - 1];
    }

    Geometry geometry()
    {
        std::istringstream lines(output("xdotool getwindowgeometry --shell " + id));
        std::map<std::string, int> values;
        for (std::string line; std::getline(lines, line);)
            if (const size_t equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        return { values["X"], values["Y"], values["WIDTH"], values["HEIGHT"] };
    }
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
    void doubleClick(int x, int y)
    {
        const Geometry g = geometry();
        const std::string command = "xdotool mousemove " + std::to_string(g.x + x) + " " + std::to_string(g.y + y) + " sleep 0.2 click --repeat 2 --delay 80 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    test::PageServer server;
    Installation installation { true }; // with the "e2e" module
    pid_t tvn = -1;
    std::string id;

private:
    size_t m_expected = 0;
};

// The work area of the test desktop: the screen less the panel's 30-pixel top strip.
const Geometry kWorkArea { 0, 30, 1920, 1050 };

TEST_F(Window, OpensCentredAtItsSize)
{
    const Geometry g = geometry();
    EXPECT_EQ(g.width, 1168);
    EXPECT_EQ(g.height, 832);
    EXPECT_EQ(g.x, (1920 - 1168) / 2);
    EXPECT_EQ(property("WM_CLASS"), "WM_CLASS(STRING) = \"CefMainWindow_tvn\", \"CefMainWindow_tvn\"\n");
}

TEST_F(Window, SetWindowPosAndCenterWindowMoveAndSizeIt)
{
    const Geometry start = geometry();
    run("var w = module('window'); w.setWindowPos({ x: 10, y: 50 })");
    EXPECT_TRUE(geometryBecomes({ 10, 50, start.width, start.height })) << geometry();

    run("w.setWindowPos({ w: 800, h: 600 })");
    EXPECT_TRUE(geometryBecomes({ 10, 50, 800, 600 })) << geometry();

    // Strings and fractions count as numbers; absent fields of a present pair are 0.
    run("w.setWindowPos({ x: '15', y: 60.9, w: 700 })");
    EXPECT_TRUE(eventually([&] { const Geometry g = geometry(); return g.x == 15 && g.y == 60 && g.width == 700 && g.height <= 1; })) << geometry();

    run("w.setWindowPos({ w: 900, h: 600 }); w.setWindowPos({}); w.centerWindow()"); // no argument: nothing
    EXPECT_TRUE(geometryBecomes({ 15, 60, 900, 600 })) << geometry();
    run("w.centerWindow({})");
    EXPECT_TRUE(geometryBecomes({ (1920 - 900) / 2, (1080 - 600) / 2, 900, 600 })) << geometry();
    run("w.centerWindow({ w: 500, h: '400' })");
    EXPECT_TRUE(geometryBecomes({ (1920 - 500) / 2, (1080 - 400) / 2, 500, 400 })) << geometry();
}

TEST_F(Window, ShowStateMembersChangeTheWindow)
{
    run("var w = module('window'); w.maximize()");
    EXPECT_TRUE(eventually([&] { return hasState("_NET_WM_STATE_MAXIMIZED_VERT"); }));
    EXPECT_TRUE(geometryBecomes(kWorkArea)) << geometry();

    run("w.restore()");
    EXPECT_TRUE(eventually([&] { return !hasState("_NET_WM_STATE_MAXIMIZED_VERT") && geometry().width == 1168; })) << geometry();

    run("w.minimize()");
    EXPECT_TRUE(eventually([&] { return hasState("_NET_WM_STATE_HIDDEN"); }));
    run("w.restore()");
    EXPECT_TRUE(eventually([&] { return !hasState("_NET_WM_STATE_HIDDEN"); }));

    const auto mapped = [&] { return output("xwininfo -id " + id).find("Map State: IsViewable") != std::string::npos; };
    run("w.hide()");
    EXPECT_TRUE(eventually([&] { return !mapped(); }));
    run("w.show()");
    EXPECT_TRUE(eventually(mapped));
    run("w.hide(); w.bringWindowToFront()");
    EXPECT_TRUE(eventually(mapped));
}

TEST_F(Window, PropertiesFlashAndIcon)
{
    EXPECT_EQ(run("var w = module('window'); [w.topmost, w.resizable].join()"), "false,false");
    EXPECT_EQ(run("w.topmost = true; w.resizable = true; [w.topmost, w.resizable].join()"), "true,true");
    EXPECT_TRUE(eventually([&] { return hasState("_NET_WM_STATE_ABOVE"); }));
    EXPECT_EQ(run("w.topmost = 'yes'; w.topmost"), "false"); // only a boolean true is true
    EXPECT_TRUE(eventually([&] { return !hasState("_NET_WM_STATE_ABOVE"); }));
    EXPECT_EQ(run("w.resizable = 0; w.resizable"), "false");

    run("w.flash()");
    EXPECT_TRUE(eventually([&] { return property("WM_HINTS").find("urgency hint bit is set") != std::string::npos || hasState("DEMANDS_ATTENTION"); }))
        << property("WM_HINTS");

    // A 2 x 3 PNG.
    const std::string png = "iVBORw0KGgoAAAANSUhEUgAAAAIAAAADCAYAAAC56t6BAAAAEUlEQVR4nGP4z8DwH4QZMBgAoXkL9U3EmgcAAAAASUVORK5CYII=";
    run("w.setIcon('" + png + "')");
    EXPECT_TRUE(eventually([&] { return property("_NET_WM_ICON").find("Icon (2 x 3)") != std::string::npos; })) << property("_NET_WM_ICON");
    run("w.setIcon('not an image')");
    EXPECT_TRUE(eventually([&] { return property("_NET_WM_ICON").find("Icon (2 x 3)") == std::string::npos; }));

    const std::string log = installation.log("main");
    EXPECT_NE(log.find("] window set resizeable : 1"), std::string::npos);
    EXPECT_NE(log.find("] window set resizeable : 0"), std::string::npos);
}

TEST_F(Window, OnSizeTellsThePageItsSize)
{
    EXPECT_EQ(run("var w = module('window'), sizes = []; w.onSize(function (type, size) { sizes.push(type + ':' + size.w + 'x' + size.h); }); sizes.join()"),
        "0:1168x832");
    EXPECT_EQ(run("w.onSize(5)"), "!Invalid arguments");
    EXPECT_EQ(run("w.onSize()"), "!Invalid arguments");

    ASSERT_EQ(std::system(("xdotool windowsize " + id + " 700 500").c_str()), 0);
    EXPECT_TRUE(eventually([&] { return run("sizes[sizes.length - 1]") == "0:700x500"; })) << run("sizes.join()");

    const std::string before = run("sizes.length");
    run("w.topmost = true");
    EXPECT_TRUE(eventually([&] { return run("sizes.length") == std::to_string(std::stoi(before) + 1); })) << run("sizes.join()");

    run("w.minimize()");
    EXPECT_TRUE(eventually([&] { return hasState("_NET_WM_STATE_HIDDEN"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string minimised = run("sizes.length");
    EXPECT_EQ(run("sizes[sizes.length - 1]"), "0:700x500"); // nothing while minimised
    run("w.maximize()");
    EXPECT_TRUE(eventually([&] { return run("sizes[sizes.length - 1]") == "2:1920x1050"; })) << run("sizes.join()");
}

class DraggableWindow : public Window {
    std::string pageHead() override
    {
        return "<style>body { margin: 0 } #bar { position: fixed; left: 0; top: 0; width: 100%; height: 60px; --app-region: drag }"
               " #hole { position: absolute; left: 200px; top: 15px; width: 50px; height: 30px; --app-region: no-drag }</style>"
               "<div id=bar><div id=hole></div></div>";
    }
};

TEST_F(DraggableWindow, DragsMoveAndDoubleClicksMaximise)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the regions' first report
    Geometry g = geometry();
    drag(100, 30, 150, 80); // in the region
    EXPECT_TRUE(geometryBecomes({ g.x + 150, g.y + 80, g.width, g.height })) << geometry();

    g = geometry();
    drag(220, 30, 150, 80); // in the hole
    drag(100, 300, 150, 80); // in the page
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(geometry(), g);

    doubleClick(100, 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(hasState("_NET_WM_STATE_MAXIMIZED_VERT")) << "not resizable";

    run("module('window').resizable = true");
    doubleClick(100, 30);
    EXPECT_TRUE(eventually([&] { return hasState("_NET_WM_STATE_MAXIMIZED_VERT"); }));
    EXPECT_TRUE(geometryBecomes(kWorkArea)) << geometry();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // not a triple click
    doubleClick(100, 30);
    EXPECT_TRUE(eventually([&] { return !hasState("_NET_WM_STATE_MAXIMIZED_VERT"); }));
}

TEST_F(Window, ResizesOnlyWhenResizable)
{
    const Geometry start = geometry();
    drag(start.width - 2, start.height - 2, 100, 60);
    drag(start.width / 2, 2, 0, -40);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(geometry(), start);

    run("module('window').resizable = true");
    drag(start.width - 2, start.height - 2, 100, 60);
    EXPECT_TRUE(geometryBecomes({ start.x, start.y, start.width + 100, start.height + 60 })) << geometry();
    drag(start.width / 2, 2, 0, -40); // the top edge
    EXPECT_TRUE(geometryBecomes({ start.x, start.y - 40, start.width + 100, start.height + 100 })) << geometry();
}

// The dialogs of the page's script, answered with the keyboard.
TEST_F(Window, ScriptDialogsGiveWhatTheUserAnswered)
{
    // Keys to the one dialog tvn shows (its windows other than the main window have class "tvn"):
    // each action is "key <keys>" or "type <text>", typed once the dialog is the active window.
    const auto answer = [&](const std::vector<std::string>& actions) {
        std::string dialog;
        ASSERT_TRUE(eventually([&] { // a search fails when a window goes while it looks
            dialog = output("xdotool search --onlyvisible --classname '^tvn$'");
            dialog.erase(dialog.find_last_not_of("\n") + 1);
            return !dialog.empty() && dialog.find('\n') == std::string::npos;
        })) << "one dialog: " << dialog;
        ASSERT_TRUE(eventually([&] {
            std::system(("xdotool windowactivate " + dialog).c_str());
            return output("xdotool getactivewindow") == dialog + "\n";
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (const std::string& action : actions)
            ASSERT_EQ(std::system(("xdotool " + action).c_str()), 0) << action;
    };
    send("alert('hello')");
    answer({ "key Return" });
    EXPECT_EQ(result(), "undefined");
    send("confirm('sure?')");
    answer({ "key Return" });
    EXPECT_EQ(result(), "true");
    send("confirm('sure?')");
    answer({ "key Escape" });
    EXPECT_EQ(result(), "false");

    // A prompt is never cancelled: Escape gives the text too.
    send("prompt('name?', 'abc')");
    answer({ "key Escape" });
    EXPECT_EQ(result(), "abc");
    send("prompt('name?', 'abc')");
    answer({ "key ctrl+a", "type xyz", "key Tab", "key Tab", "key Return" });
    EXPECT_EQ(result(), "xyz");
    send("prompt('long', 'a'.repeat(2000)).length");
    answer({ "key Escape" });
    EXPECT_EQ(result(), "1023");
}

// Files dragged from another program over the page: the browser process reports them to the
// page's web process once, and the page still gets its drop.
TEST_F(Window, FilesDraggedOverThePage)
{
    test::writeFile(installation.dir / "a.txt", "a");
    test::writeFile(installation.dir / "b c.zip", "b");
    const pid_t source = test::startProgram({ TVN_TEST_DRAG_SOURCE, (installation.dir / "a.txt").string(), (installation.dir / "b c.zip").string() },
        installation.dir / "config");
    const std::string sourceWindow = output("xdotool search --sync --name 'tvn test drag source' | head -1");
    ASSERT_FALSE(sourceWindow.empty());
    run("window.dropped = 'none'; document.addEventListener('dragover', function (e) { e.preventDefault(); });"
        "document.addEventListener('drop', function (e) { e.preventDefault(); window.dropped = Array.from(e.dataTransfer.types).join(); })");
    std::system(("xdotool windowmove " + id + " 400 200").c_str());
    ASSERT_TRUE(eventually([&] { return geometry().x == 400; }));

    std::ostringstream command;
    command << "xdotool mousemove 100 90 sleep 0.3 mousedown 1";
    for (int step = 1; step <= 12; ++step)
        command << " sleep 0.1 mousemove " << 100 + step * 60 << " " << 90 + step * 30;
    command << " sleep 0.5 mouseup 1";
    ASSERT_EQ(std::system(command.str().c_str()), 0);
    // (WebKitGTK gives the page no File objects for such a drop; the page asks the dragdrop module.)
    EXPECT_TRUE(eventually([&] { return run("window.dropped").find("text/uri-list") != std::string::npos; })) << run("window.dropped");
    kill(source, SIGTERM);
    waitpid(source, nullptr, 0);

    const std::string log = installation.log("main");
    const std::string entered = "] on drag enter: \n";
    const size_t at = log.find(entered);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(log.find("]   - " + (installation.dir / "a.txt").string() + "\n", at), std::string::npos);
    EXPECT_NE(log.find("]   - " + (installation.dir / "b c.zip").string() + "\n", at), std::string::npos);
    EXPECT_EQ(log.find(entered, at + 1), std::string::npos) << "one report per drag";
    EXPECT_NE(installation.log("renderer").find("on process message : drag"), std::string::npos);
}

// The file dialog of "openFileDialog": the files chosen, through the filter; nothing when cancelled.
TEST_F(Window, FileDialogAnswersWithTheChosenFiles)
{
    const std::filesystem::path folder = installation.dir / "files";
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "a.txt", "a");
    test::writeFile(folder / "b.zip", "b");
    test::writeFile(folder / "c.TXT", "c");
    const auto openDialog = [&](const std::string& variable) {
        run("var " + variable + " = 'pending'; module('e2e').call('openFileDialog', { mode: '1', title: 'pick', default_path: '" + folder.string()
            + "', accept_filters: '.txt,,.zip' }).then(function (r) { " + variable + " = r.files.sort().join('|'); }); 1");
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
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
    };

    openDialog("chosen");
    ASSERT_EQ(std::system("xdotool key ctrl+a sleep 0.3 key alt+o"), 0); // all the first filter shows, then Open
    EXPECT_TRUE(eventually([&] { return run("chosen") != "pending"; }));
    EXPECT_EQ(run("chosen"), (folder / "a.txt").string() + "|" + (folder / "c.TXT").string());

    openDialog("cancelled");
    ASSERT_EQ(std::system("xdotool key Escape"), 0);
    EXPECT_TRUE(eventually([&] { return otherWindows().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(run("cancelled"), "pending");
}

// "doDragDrop": a drag of the files from the page, answered when it ends (here on no target).
TEST_F(Window, DoDragDropAnswersWhenTheDragEnds)
{
    test::writeFile(installation.dir / "a.txt", "a");
    test::writeFile(installation.dir / "b.txt", "b");
    const std::string a = (installation.dir / "a.txt").string(), b = (installation.dir / "b.txt").string();
    run("var dragged = 'pending', missing = 'pending';"
        "module('e2e').call('doDragDrop', ['/no/such/file']).then(function () { missing = 'answered'; });"
        "document.addEventListener('mousedown', function () {"
        "  module('e2e').call('doDragDrop', ['" + a + "', '" + b + "']).then(function (r) { dragged = r.files.join('|'); }); }); 1");
    const Geometry g = geometry();
    std::ostringstream command;
    command << "xdotool mousemove " << g.x + 300 << " " << g.y + 300 << " sleep 0.2 mousedown 1 sleep 0.5";
    for (int step = 1; step <= 5; ++step)
        command << " sleep 0.1 mousemove " << g.x + 300 + step * 20 << " " << g.y + 300 + step * 10;
    command << " sleep 0.3 key Escape sleep 0.2 mouseup 1";
    ASSERT_EQ(std::system(command.str().c_str()), 0);
    EXPECT_TRUE(eventually([&] { return run("dragged") != "pending"; }));
    EXPECT_EQ(run("dragged"), a + "|" + b);
    EXPECT_EQ(run("missing"), "pending"); // no file to drag: no answer
}

// Without the developer marker the page's menu has nothing left to offer: no menu opens.
TEST_F(Window, NoContextMenuWithoutTheMarker)
{
    const Geometry g = geometry();
    const std::string click = "xdotool mousemove " + std::to_string(g.x + 300) + " " + std::to_string(g.y + 300) + " sleep 0.2 click 3";
    ASSERT_EQ(std::system(click.c_str()), 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(otherWindows().empty());
}

class DeveloperWindow : public Window {
    void beforeStart() override { test::writeFile(installation.app / "dev.$$$", ""); }
};

// With the marker, the menu offers Reload (its mnemonic R), which loads the page anew.
TEST_F(DeveloperWindow, ContextMenuReloads)
{
    EXPECT_EQ(run("window.before = 'loaded once'"), "loaded once");
    const Geometry g = geometry();
    const std::string click = "xdotool mousemove " + std::to_string(g.x + 300) + " " + std::to_string(g.y + 300) + " sleep 0.2 click 3";
    ASSERT_EQ(std::system(click.c_str()), 0);
    ASSERT_TRUE(eventually([&] { return !otherWindows().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(std::system("xdotool key r"), 0);
    // A command taken by the page that went away is lost: wait until its last request has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(run("typeof before"), "undefined");
}

TEST_F(Window, AltF4EndsTheApplication)
{
    ASSERT_EQ(std::system(("xdotool windowactivate --sync " + id + " key alt+F4").c_str()), 0);
    EXPECT_EQ(Installation::wait(tvn), 0);
    tvn = -1;
    EXPECT_NE(installation.log("main").find("] window destroyed"), std::string::npos);
}

} // namespace
