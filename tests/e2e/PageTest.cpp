// End to end: tvn with its own page from dist.pak against the reference server, driven the way a
// user or the unattended run drives it (--autorun prints each row of the page; keys and clicks
// through xdotool), on the test desktop (with-window-manager.sh).
#include "tests/e2e/Desktop.h"
#include "tests/support/Environment.h"
#include "tests/support/WindowsFiles.h"
#include "tests/support/WinePrefix.h"
#include "tools/server/ReferenceServer.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <set>

using namespace tvn;
using test::Installation;
using test::eventually;
using test::output;
using test::readFile;
using test::writeFile;

namespace {

const std::filesystem::path kPageDist = TVN_PAGE_DIST;
const std::filesystem::path kDemoCatalog = TVN_DEMO_CATALOG;
const std::filesystem::path kScreenshots = TVN_E2E_SCREENSHOTS;

class Page : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::copy(kDemoCatalog, catalogFolder);
        server = std::make_unique<server::ReferenceServer>(server::ReferenceServerOptions { installation.dir / "state", catalogFolder, {}, "reference-token", {} });
        ASSERT_TRUE(server->start());
        std::filesystem::create_directories(installation.dir / "config" / "tvn");
        writeFile(installation.dir / "config" / "tvn" / "config.ini",
            "[system]\nwineprefix = none\n[server]\napi = " + server->address() + "\nreport = " + server->address()
                + "\nca = " + server->authorityFile().string() + "\n");
        std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / "dist.pak", installation.app / "dist.pak");
    }

    void TearDown() override
    {
        if (tvn > 0 && !finishedTvn) {
            kill(tvn, SIGKILL);
            waitpid(tvn, nullptr, 0);
        }
        if (HasFailure())
            std::cerr << "tvn's output:\n" << readFile(outputFile) << installation.log("main");
    }

    // The page with `catalog` (JSON) in place of the shipped catalog: the built page packed anew.
    void useCatalog(const std::string& catalog)
    {
        const auto dist = installation.dir / "dist";
        std::filesystem::copy(kPageDist, dist, std::filesystem::copy_options::recursive);
        writeFile(dist / "catalog.json", catalog);
        const std::string pack = (installation.app / "tvn-pak").string() + " pack " + dist.string() + " " + (installation.app / "dist.pak").string();
        ASSERT_EQ(std::system(pack.c_str()), 0);
    }

    // Starts tvn with its output (where the page's console goes) in a file; returns once its
    // window is on the screen.
    void start(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command = { (installation.app / "tvn").string() };
        command.insert(command.end(), arguments.begin(), arguments.end());
        tvn = test::startProgram(std::move(command), installation.dir / "config", outputFile);
        // This tvn's window, not one that a tvn before it has yet to take down.
        ASSERT_TRUE(eventually([&] {
            std::istringstream ids(output("xdotool search --classname CefMainWindow_tvn"));
            for (std::string candidate; std::getline(ids, candidate);) {
                if (output("xdotool getwindowpid " + candidate) == std::to_string(tvn) + "\n") {
                    id = candidate;
                    return true;
                }
            }
            return false;
        }, std::chrono::seconds(30)));
    }

    // The page's own lines ("tvn: ..."), in order.
    std::vector<std::string> pageLines() const
    {
        std::vector<std::string> lines;
        std::istringstream text(readFile(outputFile));
        for (std::string line; std::getline(text, line);) {
            if (const size_t at = line.find(" tvn: "); at != std::string::npos && line.find("CONSOLE ") != std::string::npos)
                lines.push_back(line.substr(at + 1));
        }
        return lines;
    }
    std::string lineStartingWith(const std::string& prefix) const
    {
        for (const std::string& line : pageLines())
            if (line.rfind(prefix, 0) == 0)
                return line;
        return "";
    }
    bool waitForLine(const std::string& prefix, std::chrono::seconds limit = std::chrono::seconds(60))
    {
        return eventually([&] { return !lineStartingWith(prefix).empty(); }, limit);
    }

    test::Geometry geometry() { return test::windowGeometry(id); }
    void click(int x, int y)
    {
        const test::Geometry g = geometry();
        ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(g.x + x) + " " + std::to_string(g.y + y) + " sleep 0.2 click 1").c_str()), 0);
    }
    // Keys pressed in tvn's window (xdotool's names), `delayMs` apart.
    void keys(const std::string& sequence, int delayMs = 150)
    {
        ASSERT_EQ(std::system(("xdotool windowactivate --sync " + id + " key --delay " + std::to_string(delayMs) + " " + sequence).c_str()), 0);
    }
    // Whether the server has had a request of that endpoint ("files", "downloadUrl", ...).
    bool requested(const std::string& endpoint) const
    {
        for (const auto& request : server->requests())
            if (request.endpoint == endpoint)
                return true;
        return false;
    }
    // A picture of tvn's window into `file`; whether it was taken.
    bool screenshot(const std::filesystem::path& file) const
    {
        std::filesystem::create_directories(file.parent_path());
        return std::system((std::string(TVN_SCREENSHOT) + " " + file.string() + " " + id).c_str()) == 0;
    }
    // Closes tvn with the title bar's close button; its exit code.
    int closeWithTitleBar()
    {
        click(geometry().width - 23, 18);
        finishedTvn = true;
        return Installation::wait(tvn);
    }

    std::filesystem::path system32() const { return installation.dir / "config" / "tvn" / "drive_c" / "Windows" / "System32"; }

    Installation installation;
    std::filesystem::path catalogFolder = installation.dir / "catalog";
    std::filesystem::path outputFile = installation.dir / "tvn.out";
    std::unique_ptr<server::ReferenceServer> server;
    pid_t tvn = -1;
    bool finishedTvn = false;
    std::string id;
};

const std::vector<std::string> kDemoLibraries = { "msvcp140.dll", "vcruntime140.dll", "vcruntime140_1.dll", "msvcp120.dll",
    "msvcr120.dll", "d3dx9_43.dll", "xinput1_3.dll", "d3dcompiler_47.dll" };

// What a screenshot shows: how many colours, and how much of the title strip (below the window's
// top edge) is the title bar's blue and how much is its white text.
struct Picture {
    size_t colours = 0;
    double titleBlue = 0;
    size_t titleWhite = 0;
};

Picture look(const std::filesystem::path& file)
{
    Picture picture;
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), &error);
    if (!pixbuf) {
        ADD_FAILURE() << file << ": " << error->message;
        g_error_free(error);
        return picture;
    }
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    std::set<uint32_t> colours;
    size_t blue = 0, strip = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
            if (y >= 2 && y < 34 && x < width - 150) { // the strip left of the window buttons
                ++strip;
                blue += p[0] == 0x1f && p[1] == 0x5f && p[2] == 0xbf;
                picture.titleWhite += p[0] > 0xe0 && p[1] > 0xe0 && p[2] > 0xe0;
            }
        }
    }
    picture.colours = colours.size();
    picture.titleBlue = strip ? double(blue) / double(strip) : 0;
    g_object_unref(pixbuf);
    return picture;
}

// The red, green and blue of one pixel of a picture.
std::array<int, 3> pixelAt(const std::filesystem::path& file, int x, int y)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
    if (!pixbuf)
        return { -1, -1, -1 };
    const guchar* p = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * gdk_pixbuf_get_n_channels(pixbuf);
    const std::array<int, 3> rgb { p[0], p[1], p[2] };
    g_object_unref(pixbuf);
    return rgb;
}

TEST_F(Page, ScansAndRepairsTheDemoCatalogFromThePack)
{
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_TRUE(installation.logShows("main", "open from dist.pak"));
    for (const std::string& name : kDemoLibraries) {
        EXPECT_EQ(lineStartingWith("tvn: scan: " + name + ":"), "tvn: scan: " + name + ": Missing (missing)");
        EXPECT_EQ(lineStartingWith("tvn: repair: " + name + ":"), "tvn: repair: " + name + ": Repaired (repaired, progress 100%)");
        EXPECT_EQ(readFile(system32() / name), readFile(kDemoCatalog / name)) << name;
    }
    EXPECT_EQ(lineStartingWith("tvn: repair: vc_redist.x64.exe:"), "tvn: repair: vc_redist.x64.exe: Installed (installer finished) (repaired, progress 100%)");
    EXPECT_EQ(lineStartingWith("tvn: finished: "), "tvn: finished: 11 of 11 in place");

    // What the user sees: a page, with its title bar.
    const auto shot = kScreenshots / "libraries.png";
    ASSERT_TRUE(screenshot(shot));
    const Picture picture = look(shot);
    EXPECT_GT(picture.colours, 50u) << "a blank window";
    EXPECT_GT(picture.titleBlue, 0.7) << "no title bar";
    EXPECT_GT(picture.titleWhite, 40u) << "no title in the title bar";

    // A second scan (F5) finds everything in place and leaves nothing to repair.
    keys("F5");
    const auto finishedLines = [&] {
        std::vector<std::string> found;
        for (const std::string& line : pageLines())
            if (line.rfind("tvn: finished: ", 0) == 0)
                found.push_back(line);
        return found;
    };
    ASSERT_TRUE(eventually([&] { return finishedLines().size() == 2; }));
    EXPECT_EQ(finishedLines().back(), "tvn: finished: 11 of 11 in place");
    // Its scan lines come after the first run's 11 scan, 11 repair and 1 finished lines (and the
    // prefix and "ready" lines).
    const std::vector<std::string> lines = pageLines();
    ASSERT_GT(lines.size(), 25u + 11u);
    EXPECT_EQ(lines[25], "tvn: scan: msvcp140.dll: Present (present)");
    EXPECT_EQ(lines[25 + 10], "tvn: scan: windowsdesktop-runtime-8.0-win-x64.exe: Missing (missing)")
        << "the stand-in installers register nothing, so the page installs them again";
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// The desktop's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as gettext orders them) is the page's
// when the page has it: here Simplified Chinese, from LANG=zh_CN.UTF-8.
TEST_F(Page, SpeaksTheDesktopsLanguage)
{
    test::EnvironmentChange environment;
    environment.set("TVN_TEST_LANGUAGE", ""); // no LANGUAGE: LANG speaks
    environment.unset("LC_ALL");
    environment.unset("LC_MESSAGES");
    environment.set("LANG", "zh_CN.UTF-8");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: scan: msvcp140.dll:"), "tvn: scan: msvcp140.dll: 缺失 (missing)");
    EXPECT_EQ(lineStartingWith("tvn: repair: msvcp140.dll:"), "tvn: repair: msvcp140.dll: 已修复 (repaired, progress 100%)");
    ASSERT_TRUE(screenshot(kScreenshots / "chinese.png"));
    EXPECT_GT(look(kScreenshots / "chinese.png").titleWhite, 40u) << "no title in the title bar";

    // Settings (Ctrl+5), its first control, the language: English. The page speaks it at once,
    // its rows kept (a scan, F5, reads them out), and the choice is stored.
    keys("ctrl+5 Tab Down", 200);
    EXPECT_TRUE(eventually([&] { return readFile(installation.dir / "config" / "tvn" / "config.ini").find("language = en\n") != std::string::npos; }));
    keys("F5");
    EXPECT_TRUE(eventually([&] { return pageLines().back() == "tvn: finished: 11 of 11 in place" && lineStartingWith("tvn: scan: msvcp140.dll: Present") != ""; }))
        << pageLines().back();
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, AFileThatDoesNotMatchItsDigestFailsItsItem)
{
    server->setBehaviour("downloadUrl", server::Behaviour::wrongDigest());
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    for (const std::string& name : kDemoLibraries) {
        EXPECT_EQ(lineStartingWith("tvn: repair: " + name + ":"),
            "tvn: repair: " + name + ": Failed: the downloaded file did not match its digest, so it was not used (failed, progress 0%)");
        EXPECT_FALSE(std::filesystem::exists(system32() / name)) << name;
    }
    EXPECT_EQ(lineStartingWith("tvn: finished: "), "tvn: finished: 0 of 11 in place");
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, ARepairIsPreviewedAndRetriedOnceTheServerIsBack)
{
    writeFile(catalogFolder / "a.dll", "library a\n");
    writeFile(catalogFolder / "b.dll", "library b\n");
    useCatalog(R"({"dlls": [
        {"fileName": "a.dll", "filePath": "C:\\Windows\\System32\\a.dll", "checkPath": ["C:\\Windows\\System32\\"], "arch": "x64"},
        {"fileName": "b.dll", "filePath": "C:\\Windows\\System32\\b.dll", "checkPath": ["C:\\Windows\\System32\\"], "arch": "x64"}]})");
    const int port = server->port();
    server->stop();
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: repair: a.dll:"), "tvn: repair: a.dll: Failed: the download server cannot be reached (failed, progress 0%)");
    EXPECT_EQ(lineStartingWith("tvn: finished: "), "tvn: finished: 0 of 2 in place");

    // Back: Ctrl+R previews the repair; Enter answers the preview's default, Cancel.
    ASSERT_TRUE(server->start(port));
    keys("ctrl+r");
    ASSERT_TRUE(waitForLine("tvn: preview: Repair 2 items?"));
    EXPECT_EQ(lineStartingWith("tvn: preview: Repair"),
        "tvn: preview: Repair 2 items? a.dll -> C:\\Windows\\System32\\a.dll; b.dll -> C:\\Windows\\System32\\b.dll");
    ASSERT_TRUE(screenshot(kScreenshots / "preview.png"));
    EXPECT_GT(look(kScreenshots / "preview.png").colours, 50u);
    // The sizes come from the server while the preview is shown.
    EXPECT_TRUE(waitForLine("tvn: preview sizes: "));
    EXPECT_EQ(lineStartingWith("tvn: preview sizes: "), "tvn: preview sizes: a.dll 10 bytes; b.dll 10 bytes");
    keys("Return");
    ASSERT_TRUE(waitForLine("tvn: preview: not confirmed"));
    EXPECT_FALSE(std::filesystem::exists(system32() / "a.dll"));

    // Asked again, the named button (before Cancel) starts the retry, which repairs both.
    keys("ctrl+r");
    ASSERT_TRUE(eventually([&] {
        size_t previews = 0;
        for (const std::string& line : pageLines())
            previews += line.rfind("tvn: preview: Repair", 0) == 0;
        return previews == 2;
    }));
    keys("shift+Tab Return");
    ASSERT_TRUE(waitForLine("tvn: preview: confirmed"));
    EXPECT_TRUE(eventually([&] { return pageLines().back() == "tvn: finished: 2 of 2 in place"; })) << pageLines().back();
    EXPECT_EQ(readFile(system32() / "a.dll"), "library a\n");

    // History (Ctrl+4): both runs; the newest one's Undo asks first (Cancel focused), then takes the
    // two libraries it made back out.
    keys("ctrl+4");
    ASSERT_TRUE(waitForLine("tvn: history: 2 runs"));
    keys("Tab Tab Return");
    ASSERT_TRUE(waitForLine("tvn: undo: asked, "));
    EXPECT_EQ(lineStartingWith("tvn: undo: asked, "), "tvn: undo: asked, The run's changes to 2 files in tvn's own drive C: are taken back.");
    keys("shift+Tab Return");
    EXPECT_TRUE(eventually([&] {
        const std::vector<std::string> lines = pageLines();
        return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("tvn: undo: ") && line.ends_with(" done, 0 restored, 2 removed");
        }) && lines.back().starts_with("tvn: history: "); // and the view shows the run undone
    }, std::chrono::seconds(60))) << pageLines().back();
    EXPECT_FALSE(std::filesystem::exists(system32() / "a.dll"));
    EXPECT_FALSE(std::filesystem::exists(system32() / "b.dll"));
    ASSERT_TRUE(screenshot(kScreenshots / "history.png"));
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, EscapeCancelsALongScan)
{
    // 3000 libraries take the engine 45 seconds to scan (15 ms each).
    nlohmann::json dlls = nlohmann::json::array();
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "lib" + std::to_string(i) + ".dll";
        dlls.push_back({ { "fileName", name }, { "filePath", "C:\\Windows\\System32\\" + name }, { "checkPath", { "C:\\Windows\\System32\\" } } });
    }
    useCatalog(nlohmann::json { { "dlls", dlls } }.dump());
    start({ "--autorun" });
    // Escape cancels only while the scan runs; pressed until the page reports the end.
    ASSERT_TRUE(eventually([&] {
        std::system(("xdotool windowactivate --sync " + id + " key Escape").c_str());
        return !lineStartingWith("tvn: finished: ").empty();
    }, std::chrono::seconds(40)));
    EXPECT_EQ(lineStartingWith("tvn: finished: "), "tvn: finished: 0 of 3000 in place, cancelled");
    size_t scanned = 0, unchecked = 0;
    for (const std::string& line : pageLines()) {
        scanned += line.find(": Missing (missing") != std::string::npos;
        unchecked += line.find(": Not checked (unknown") != std::string::npos;
    }
    EXPECT_LT(scanned, 2000u);
    EXPECT_EQ(scanned + unchecked, 3000u);
    EXPECT_EQ(lineStartingWith("tvn: repair: "), "") << "a cancelled scan repairs nothing";
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, TheTitleBarMovesMaximisesAndClosesTheWindow)
{
    useCatalog(R"({"dlls": []})"); // nothing to do: the page stays as it is
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: ready"));
    std::system(("xdotool windowmove --sync " + id + " 200 200").c_str());
    ASSERT_TRUE(eventually([&] { return geometry().x == 200; }));
    const test::Geometry before = geometry();
    std::ostringstream drag;
    drag << "xdotool mousemove " << before.x + 400 << " " << before.y + 18 << " sleep 0.2 mousedown 1";
    for (int step = 1; step <= 5; ++step)
        drag << " sleep 0.1 mousemove " << before.x + 400 + 30 * step << " " << before.y + 18 + 20 * step;
    drag << " sleep 0.3 mouseup 1";
    ASSERT_EQ(std::system(drag.str().c_str()), 0);
    EXPECT_TRUE(eventually([&] { const test::Geometry g = geometry(); return g.x == before.x + 150 && g.y == before.y + 100; }))
        << geometry();

    // The maximise button maximises, and the same button (now "Restore") restores.
    const auto maximized = [&] { return output("xprop -id " + id + " _NET_WM_STATE").find("MAXIMIZED_VERT") != std::string::npos; };
    click(geometry().width - 69, 18);
    EXPECT_TRUE(eventually(maximized));
    click(geometry().width - 69, 18);
    EXPECT_TRUE(eventually([&] { return !maximized(); }));
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, TheWindowOpensWhereItWasAndNoSmallerThanItsLayoutNeeds)
{
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    // Asked to shrink to 400 x 300, the window stops at its minimum (760 x 520 at 96 DPI).
    std::system(("xdotool windowsize --sync " + id + " 400 300").c_str());
    EXPECT_TRUE(eventually([&] { const test::Geometry g = geometry(); return g.width == 760 && g.height == 520; })) << geometry();
    ASSERT_TRUE(screenshot(kScreenshots / "smallest.png"));
    std::system(("xdotool windowsize --sync " + id + " 900 640 windowmove --sync " + id + " 150 120").c_str());
    ASSERT_TRUE(eventually([&] { const test::Geometry g = geometry(); return g.x == 150 && g.y == 120 && g.width == 900 && g.height == 640; }))
        << geometry();
    EXPECT_EQ(closeWithTitleBar(), 0);
    EXPECT_NE(readFile(installation.dir / "config" / "tvn" / "config.ini").find("placement = 150,120,900,640\n"), std::string::npos);

    // The next start opens there.
    std::filesystem::remove(outputFile);
    finishedTvn = false;
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(geometry(), (test::Geometry { 150, 120, 900, 640 }));
    // Closed maximised, it opens maximised, and restores to where it was before.
    const auto maximized = [&] { return output("xprop -id " + id + " _NET_WM_STATE").find("MAXIMIZED_VERT") != std::string::npos; };
    click(geometry().width - 69, 18);
    ASSERT_TRUE(eventually(maximized));
    EXPECT_EQ(closeWithTitleBar(), 0);
    EXPECT_NE(readFile(installation.dir / "config" / "tvn" / "config.ini").find("placement = 150,120,900,640,maximized\n"), std::string::npos) << readFile(installation.dir / "config" / "tvn" / "config.ini");
    std::filesystem::remove(outputFile);
    finishedTvn = false;
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_TRUE(eventually(maximized));
    click(geometry().width - 69, 18);
    EXPECT_TRUE(eventually([&] { return geometry() == test::Geometry { 150, 120, 900, 640 }; })) << geometry();
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, WorksFromTheKeyboardDownloadsAndKeepsSettings)
{
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    // Ctrl+3: the Downloads view; Tab reaches its first Download button.
    keys("ctrl+3 Tab Return");
    const auto downloaded = installation.downloads / "dxwebsetup.exe";
    EXPECT_TRUE(eventually([&] { return readFile(downloaded) == readFile(kDemoCatalog / "dxwebsetup.exe"); }));
    // Ctrl+5: Settings; after the language, the first check box is "Minimise to the tray icon".
    keys("ctrl+5 Tab Tab space");
    EXPECT_TRUE(eventually([&] { return readFile(installation.dir / "config" / "tvn" / "config.ini").find("minimizeToTray = true") != std::string::npos; }));
    // Ctrl+L: the logs, of both processes, in the page (no file manager runs here); Escape closes them.
    keys("ctrl+l");
    ASSERT_TRUE(waitForLine("tvn: logs: "));
    EXPECT_NE(lineStartingWith("tvn: logs: "), "tvn: logs: 0 lines");
    ASSERT_TRUE(screenshot(kScreenshots / "logs.png"));
    keys("Escape");
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, MinimisesToTheTrayAndComesBackByItsIcon)
{
    test::PrivateSessionBus bus; // tvn inherits its address
    const auto watcher = bus.startService({ TVN_TEST_TRAY_WATCHER }, installation.dir / "watcher.txt");
    ASSERT_FALSE(watcher.empty()) << "no watcher on the bus";
    const auto config = installation.dir / "config" / "tvn" / "config.ini";
    writeFile(config, readFile(config) + "[page]\nminimizeToTray = true\n");
    useCatalog(R"({"dlls": []})");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: ready"));
    std::string item;
    ASSERT_TRUE(eventually([&] {
        const std::string text = readFile(watcher);
        const size_t at = text.find("registered ");
        item = at == std::string::npos ? "" : text.substr(at + 11, text.find('\n', at) - at - 11);
        return !item.empty();
    }));
    const auto mapState = [&] { return output("xwininfo -id " + id + " | grep 'Map State'"); };
    click(geometry().width - 115, 18); // the title bar's minimise button
    EXPECT_TRUE(eventually([&] { return mapState().find("IsUnMapped") != std::string::npos; })) << mapState();
    output("gdbus call --session --dest " + item + " --object-path /StatusNotifierItem --method org.kde.StatusNotifierItem.Activate 100 200");
    EXPECT_TRUE(eventually([&] { return mapState().find("IsViewable") != std::string::npos; })) << mapState();
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// The first start (not unattended) says what the usage reports carry, its first button focused;
// the second turns them off, which the reporting code reads from [report] send.
TEST_F(Page, TheFirstStartSaysWhatReportsCarryAndTheUserCanStopThem)
{
    useCatalog(R"({"dlls": []})");
    start({});
    ASSERT_TRUE(eventually([&] { return installation.log("main").find("tray icon: ") != std::string::npos; })); // the page has started
    const auto shot = kScreenshots / "privacy.png";
    EXPECT_TRUE(eventually([&] { // once painted
        return screenshot(shot) && look(shot).colours > 50;
    }));
    keys("Tab Return");
    const auto config = installation.dir / "config" / "tvn" / "config.ini";
    EXPECT_TRUE(eventually([&] {
        const std::string text = readFile(config);
        return text.find("[report]\nsend = false\n") != std::string::npos && text.find("privacyNotice = shown\n") != std::string::npos;
    })) << readFile(config);
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// In the dark theme the window's frame around the page (its resize border) is the page's own dark
// background, not the toolkit's light one.
TEST_F(Page, TheDarkThemeHasNoLightFrame)
{
    const auto config = installation.dir / "config" / "tvn" / "config.ini";
    writeFile(config, readFile(config) + "[page]\ntheme = dark\n");
    useCatalog(R"({"dlls": []})");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: ready"));
    const auto shot = kScreenshots / "dark.png";
    const test::Geometry g = geometry();
    const auto dark = [](std::array<int, 3> rgb) { return rgb[0] >= 0 && rgb[0] + rgb[1] + rgb[2] < 150; };
    EXPECT_TRUE(eventually([&] {
        if (!screenshot(shot))
            return false;
        return dark(pixelAt(shot, 2, g.height / 2)) && dark(pixelAt(shot, g.width - 3, g.height / 2)) && dark(pixelAt(shot, g.width / 2, g.height - 2));
    })) << "left edge " << pixelAt(shot, 2, g.height / 2)[0] << "," << pixelAt(shot, 2, g.height / 2)[1] << "," << pixelAt(shot, 2, g.height / 2)[2];
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// Escape while a file is on its way: that row says it was cancelled (not that it failed), the row
// never begun the same, and the run says what was not done.
TEST_F(Page, EscapeMidDownloadCancelsThatRow)
{
    server->setBehaviour("files", server::Behaviour::never()); // the file's bytes never come
    writeFile(catalogFolder / "a.dll", "library a\n");
    writeFile(catalogFolder / "b.dll", "library b\n");
    useCatalog(R"({"dlls": [
        {"fileName": "a.dll", "filePath": "C:\\Windows\\System32\\a.dll", "checkPath": ["C:\\Windows\\System32\\"], "arch": "x64"},
        {"fileName": "b.dll", "filePath": "C:\\Windows\\System32\\b.dll", "checkPath": ["C:\\Windows\\System32\\"], "arch": "x64"}]})");
    start({ "--autorun" });
    ASSERT_TRUE(eventually([&] { return requested("files"); }));
    keys("Escape");
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: repair: a.dll:"), "tvn: repair: a.dll: Cancelled (cancelled, progress 0%)");
    EXPECT_EQ(lineStartingWith("tvn: repair: b.dll:"), "tvn: repair: b.dll: Cancelled (cancelled, progress 0%)");
    EXPECT_EQ(lineStartingWith("tvn: finished: "), "tvn: finished: 0 of 2 in place, cancelled");
    EXPECT_FALSE(std::filesystem::exists(system32() / "a.dll"));
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// An installer that ends with a code: the row says so (the code is not a verdict: installers
// disagree on what they return), and one that cannot be started fails.
TEST_F(Page, AnInstallersCodeIsShownAndOneThatCannotStartFails)
{
    writeFile(catalogFolder / "three.exe", "#!/bin/sh\nexit 3\n");
    writeFile(catalogFolder / "broken.exe", "not a program\n");
    useCatalog(R"({"runtimes": [
        {"name": "Three", "displayName": "Three 1.0", "fileName": "three.exe", "cmdParam": "/quiet"},
        {"name": "Broken", "displayName": "Broken 1.0", "fileName": "broken.exe", "cmdParam": "/quiet"}]})");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: repair: three.exe:"), "tvn: repair: three.exe: Installed (the installer ended with code 3) (repaired, progress 100%)");
    EXPECT_EQ(lineStartingWith("tvn: repair: broken.exe:"), "tvn: repair: broken.exe: Failed: the installer could not be started (failed, progress 0%)");
    EXPECT_EQ(closeWithTitleBar(), 0);
}

// A download whose address the server never gives holds nothing of the page: keys still work.
TEST_F(Page, AServerThatNeverAnswersFreezesNothing)
{
    server->setBehaviour("downloadUrl", server::Behaviour::never());
    useCatalog(R"({"dlls": [], "downloads": [{"name": "Setup", "fileName": "setup.exe", "fileType": "demo"}]})");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: ready"));
    keys("ctrl+3 Tab Return");
    ASSERT_TRUE(eventually([&] { return requested("downloadUrl"); })); // the question is asked, and held
    keys("ctrl+l");
    EXPECT_TRUE(waitForLine("tvn: logs: ", std::chrono::seconds(10)));
    keys("Escape"); // the logs are modal
    EXPECT_EQ(closeWithTitleBar(), 0);
}

TEST_F(Page, WithNoTrayMinimisingKeepsATaskbarWindow)
{
    test::PrivateSessionBus bus; // no status-notifier watcher on it, and no embedding tray on the desktop
    const auto config = installation.dir / "config" / "tvn" / "config.ini";
    writeFile(config, readFile(config) + "[page]\nminimizeToTray = true\n");
    useCatalog(R"({"dlls": []})");
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: ready"));
    click(geometry().width - 115, 18); // the title bar's minimise button
    // Iconic: the window manager keeps it in its task list (hidden to a tray, it would be withdrawn).
    const auto windowState = [&] { return output("xprop -id " + id + " WM_STATE"); };
    EXPECT_TRUE(eventually([&] { return windowState().find("Iconic") != std::string::npos; })) << windowState();
    ASSERT_EQ(std::system(("xdotool windowactivate --sync " + id).c_str()), 0);
    EXPECT_TRUE(eventually([&] { return windowState().find("Normal") != std::string::npos; })) << windowState();
    EXPECT_EQ(closeWithTitleBar(), 0);
}

} // namespace

namespace {

// A home with a Proton prefix and a 32-bit winetricks one.
class PrefixPage : public Page {
protected:
    void SetUp() override
    {
        Page::SetUp();
        const auto steamapps = home / ".local" / "share" / "Steam" / "steamapps";
        test::makeWinePrefix(dota, "win64");
        writeFile(steamapps / "appmanifest_570.acf", "\"AppState\" { \"name\" \"Dota 2\" }");
        const auto proton = steamapps / "common" / "Proton 9.0";
        std::filesystem::create_directories(proton / "files" / "bin");
        writeFile(steamapps / "compatdata" / "570" / "config_info", "9.0-1\n" + (proton / "files" / "lib").string() + "/\n");
        writeFile(proton / "files" / "bin" / "wine", "#!/bin/sh\nprintf '%s|%s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (installation.dir / "wine-calls").string() + "'\n");
        chmod((proton / "files" / "bin" / "wine").c_str(), 0755);
        test::makeWinePrefix(old32, "win32");
        environment.set("HOME", home.string()); // tvn inherits it; put back once tvn has ended
    }

    size_t linesStartingWith(const std::string& prefix) const
    {
        size_t count = 0;
        for (const std::string& line : pageLines())
            count += line.rfind(prefix, 0) == 0;
        return count;
    }
    void type(const std::string& text)
    {
        ASSERT_EQ(std::system(("xdotool type --delay 100 '" + text + "'").c_str()), 0);
    }

    std::filesystem::path home = installation.dir / "home";
    std::filesystem::path dota = home / ".local" / "share" / "Steam" / "steamapps" / "compatdata" / "570" / "pfx";
    std::filesystem::path old32 = home / ".local" / "share" / "wineprefixes" / "old32";
    test::EnvironmentChange environment;
};

} // namespace

TEST_F(PrefixPage, TheHeaderNamesThePrefixAndThePickerChangesIt)
{
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: prefix: "), "tvn: prefix: none, tvn's own folder");

    // The mouse opens the picker (the header's button, at its right end); typing filters it, and
    // the keyboard picks Dota's prefix. The page scans it afresh and repairs what is missing there.
    click(geometry().width - 40, 36 + 16);
    ASSERT_TRUE(waitForLine("tvn: prefixes: 2 found")); // the picker is open, its search box focused
    ASSERT_TRUE(screenshot(kScreenshots / "prefix-picker.png"));
    type("dota");
    keys("Down Return");
    ASSERT_TRUE(eventually([&] { return linesStartingWith("tvn: finished: ") == 2; }, std::chrono::seconds(60)));
    EXPECT_EQ(pageLines().end()[-1 - 23], "tvn: prefix: Dota 2 (Steam, 64-bit) at " + dota.string()) << "the prefix line, then 11 scan, 11 repair lines and the end";
    EXPECT_NE(readFile(installation.dir / "config" / "tvn" / "config.ini").find("wineprefix = " + dota.string()), std::string::npos);
    for (const std::string& name : kDemoLibraries)
        EXPECT_EQ(readFile(dota / "drive_c" / "windows" / "system32" / name), readFile(kDemoCatalog / name)) << name;
    // The runtimes' installers ran under the wine of Proton that made the prefix.
    EXPECT_NE(readFile(installation.dir / "wine-calls").find(dota.string() + "|" ), std::string::npos);
    EXPECT_EQ(closeWithTitleBar(), 0);

    // The choice outlives the process; Ctrl+P opens the picker again, and the 32-bit prefix
    // chosen in it does not offer the catalog's 64-bit libraries.
    std::filesystem::remove(outputFile);
    finishedTvn = false;
    start({ "--autorun" });
    ASSERT_TRUE(waitForLine("tvn: finished: "));
    EXPECT_EQ(lineStartingWith("tvn: prefix: "), "tvn: prefix: Dota 2 (Steam, 64-bit) at " + dota.string());
    keys("ctrl+p");
    ASSERT_TRUE(waitForLine("tvn: prefixes: 2 found"));
    type("old32");
    // The one option left is the list's first: the picker stands 400 pixels tall in the middle of
    // the window, its first option 131 pixels below its top edge. The mouse picks it.
    click(geometry().width / 2, (geometry().height - 400) / 2 + 131);
    ASSERT_TRUE(eventually([&] { return linesStartingWith("tvn: prefix: ") == 2; }));
    ASSERT_TRUE(eventually([&] { return linesStartingWith("tvn: finished: ") == 2; }, std::chrono::seconds(60)));
    EXPECT_EQ(pageLines().end()[-1 - 11 - 12], "tvn: prefix: old32 (winetricks, 32-bit) at " + old32.string());
    EXPECT_EQ(lineStartingWith("tvn: scan: msvcp140.dll: Not offered"), "tvn: scan: msvcp140.dll: Not offered: a 64-bit library cannot run in a 32-bit prefix (unavailable)");
    EXPECT_FALSE(std::filesystem::exists(old32 / "drive_c" / "windows" / "system32" / "msvcp140.dll"));
    ASSERT_TRUE(screenshot(kScreenshots / "prefix-header.png"));
    EXPECT_EQ(closeWithTitleBar(), 0);
}

namespace {

// The page started on a program (--check): a prefix whose program needs a DLL that the catalog
// supplies and one that nothing supplies.
class CheckPage : public Page {
protected:
    void SetUp() override
    {
        Page::SetUp();
        test::makeWinePrefix(prefix, "win64");
        test::buildWindowsFile(prefix / "drive_c" / "Games", "game.exe", "x64", { { "catalog.dll", "catalogfn" }, { "unknown.dll", "unknownfn", true } });
        // What the server hands out for catalog.dll: a real DLL, so that the look after the repair
        // reads it.
        test::buildWindowsFile(catalogFolder, "catalog.dll", "x64", {}, true, { "catalogfn" });
        const auto config = installation.dir / "config" / "tvn" / "config.ini";
        std::string text = readFile(config);
        text.replace(text.find("wineprefix = none"), 17, "wineprefix = " + prefix.string());
        writeFile(config, text);
        useCatalog(R"({"dlls": [{"fileName": "catalog.dll", "filePath": "C:\\Windows\\System32\\catalog.dll", "checkPath": ["C:\\Windows\\System32\\"], "arch": "x64"}]})");
    }

    std::filesystem::path prefix = installation.dir / "prefix";
};

} // namespace

TEST_F(CheckPage, RepairsWhatAProgramNeedsAndNamesWhatNothingSupplies)
{
    start({ "--autorun", "--check", "C:\\Games\\game.exe" });
    ASSERT_TRUE(waitForLine("tvn: check finished: "));
    std::vector<std::string> checks;
    for (const std::string& line : pageLines())
        if (line.rfind("tvn: check: ", 0) == 0 || line.rfind("tvn: repair: ", 0) == 0)
            checks.push_back(line);
    const std::string game = (prefix / "drive_c" / "Games" / "game.exe").string();
    EXPECT_EQ(checks, (std::vector<std::string> {
                          "tvn: check: " + game + ": x64 program: needs 2 DLLs, 2 missing",
                          "tvn: check: catalog.dll: Missing, library catalog.dll (needed by game.exe)",
                          "tvn: check: unknown.dll: Missing (loaded only when used), no known source (needed by game.exe)",
                          "tvn: repair: catalog.dll: Repaired (repaired, progress 100%)", // the plan's item alone
                          "tvn: check: " + game + ": x64 program: needs 2 DLLs, 1 missing",
                          "tvn: check: unknown.dll: Missing (loaded only when used), no known source (needed by game.exe)",
                          "tvn: check: catalog.dll: Present (needed by game.exe)",
                      }));
    EXPECT_EQ(lineStartingWith("tvn: check finished: "), "tvn: check finished: 1 missing");
    EXPECT_EQ(readFile(prefix / "drive_c" / "windows" / "system32" / "catalog.dll"), readFile(catalogFolder / "catalog.dll"));
    EXPECT_FALSE(std::filesystem::exists(prefix / "drive_c" / "windows" / "system32" / "unknown.dll"));
    ASSERT_TRUE(screenshot(kScreenshots / "program-check.png"));
    // The dialog is modal: Escape closes it, and then the title bar is in reach again.
    keys("Escape");
    EXPECT_EQ(closeWithTitleBar(), 0);
}
