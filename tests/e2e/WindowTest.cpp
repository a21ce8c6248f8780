// End to end: the main window on a small desktop (a window manager and a panel under Xvfb; see
// with-window-manager.sh). The page takes its orders from the test (commandPage), the test acts
// on the window with xdotool like a user, and reads the window back from the X server.
#include "tests/e2e/Desktop.h"

using namespace tvn;
using test::Installation;

namespace {

using test::Geometry;
using test::Window;
using test::eventually;
using test::output;

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

    EXPECT_TRUE(installation.logShows("main", "] window set resizeable : 1"));
    EXPECT_TRUE(installation.logShows("main", "] window set resizeable : 0"));
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
    send("alert('hello')");
    answerDialog({ "key Return" });
    EXPECT_EQ(result(), "undefined");
    send("confirm('sure?')");
    answerDialog({ "key Return" });
    EXPECT_EQ(result(), "true");
    send("confirm('sure?')");
    answerDialog({ "key Escape" });
    EXPECT_EQ(result(), "false");

    // A prompt is never cancelled: Escape gives the text too.
    send("prompt('name?', 'abc')");
    answerDialog({ "key Escape" });
    EXPECT_EQ(result(), "abc");
    send("prompt('name?', 'abc')");
    answerDialog({ "key ctrl+a", "type xyz", "key Tab", "key Tab", "key Return" });
    EXPECT_EQ(result(), "xyz");
    send("prompt('long', 'a'.repeat(2000)).length");
    answerDialog({ "key Escape" });
    EXPECT_EQ(result(), "1023");
}

// Files dragged from another program over the page: the browser process reports them to the
// page's web process once, and the page still gets its drop.
TEST_F(Window, FilesDraggedOverThePage)
{
    test::writeFile(installation.dir / "a.txt", "a");
    test::writeFile(installation.dir / "b c.zip", "b");
    run("window.dropped = 'none'; document.addEventListener('dragover', function (e) { e.preventDefault(); });"
        "document.addEventListener('drop', function (e) { e.preventDefault(); window.dropped = Array.from(e.dataTransfer.types).join(); })");
    dragIn({ installation.dir / "a.txt", installation.dir / "b c.zip" });
    // (WebKitGTK gives the page no File objects for such a drop; the page asks the dragdrop module.)
    EXPECT_TRUE(eventually([&] { return run("window.dropped").find("text/uri-list") != std::string::npos; })) << run("window.dropped");

    ASSERT_TRUE(installation.logShows("main", "]   - " + (installation.dir / "b c.zip").string() + "\n"));
    const std::string log = installation.log("main");
    const std::string entered = "] on drag enter: \n";
    const size_t at = log.find(entered);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(log.find("]   - " + (installation.dir / "a.txt").string() + "\n", at), std::string::npos);
    EXPECT_NE(log.find("]   - " + (installation.dir / "b c.zip").string() + "\n", at), std::string::npos);
    EXPECT_EQ(log.find(entered, at + 1), std::string::npos) << "one report per drag";
    EXPECT_TRUE(installation.logShows("renderer", "on process message : drag"));
}

// The file dialog of "openFileDialog": the files chosen, through the filter; nothing when cancelled.
TEST_F(Window, FileDialogAnswersWithTheChosenFiles)
{
    const std::filesystem::path folder = installation.dir / "files";
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "a.txt", "a");
    test::writeFile(folder / "b.zip", "b");
    test::writeFile(folder / "c.TXT", "c");
    const std::string filters = "accept_filters: '.txt,,.zip'";
    openFileDialog("chosen", folder, filters);
    ASSERT_EQ(std::system("xdotool key ctrl+a sleep 0.3 key alt+o"), 0); // all the first filter shows, then Open
    EXPECT_TRUE(eventually([&] { return run("chosen") != "pending"; }));
    EXPECT_EQ(run("chosen"), (folder / "a.txt").string() + "|" + (folder / "c.TXT").string());

    openFileDialog("cancelled", folder, filters);
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
        "module('dragdrop').doDragDrop(['/no/such/file']).then(function () { missing = 'answered'; });"
        "document.addEventListener('mousedown', function () {"
        "  module('dragdrop').doDragDrop(['" + a + "', '" + b + "']).then(function (r) { dragged = r.files.join('|'); }); }); 1");
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

// Calls the browser process never answers go with the page that made them.
TEST_F(Window, PendingCallsGoWithThePage)
{
    EXPECT_EQ(run("var old = true; module('e2e').call('noSuchMethod'); module('e2e').call('noSuchMethod', 1); module('e2e').pendingCalls()"), "2");
    send("location.reload()");
    EXPECT_TRUE(eventually([&] { return runAgainUntilAnswered("typeof old") == "undefined"; }));
    EXPECT_EQ(run("module('e2e').pendingCalls()"), "0");
    EXPECT_TRUE(installation.logShows("renderer", "] pending calls dropped: 2"));
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
