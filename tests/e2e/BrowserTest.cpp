// End to end: the real tvn under a display (CTest runs this binary under xvfb-run), started from
// a copy of the application folder on a test page. The page drives `module(...)` and reports what
// it saw to a small HTTP server of the test's own; then it closes its window, which must end tvn
// with exit code 0.
#include "tests/e2e/Installation.h"
#include "tests/support/PageServer.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/server/ReferenceServer.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tvn;
using test::Installation;
using test::TempDir;

namespace {

// The page script: runs `body` (which fills `results`), reports them, then closes the window.
std::string testPage(const std::string& reportUrl, const std::string& body)
{
    return "<!doctype html><html><body><script>\nvar results = [];\n" + body + "\nfetch('" + reportUrl
        + "/report?' + encodeURIComponent(results.join('|'))).then(function () { window.close(); }, function () { window.close(); });\n"
          "</script></body></html>";
}

const std::string kModuleChecks = R"(
    try { results.push(module('test').hello('world')); } catch (e) { results.push('error ' + e.message); }
    try { module('Test'); } catch (e) { results.push(e.message); }
    try { module('test').hello(1); } catch (e) { results.push(e.message); }
    var m = module('test');
    results.push(m.hello !== m.hello && module('test') !== m);
)";

} // namespace

TEST(Browser, PageFromUrlTxtUsesModulesAndClosesTheApplication)
{
    test::PageServer server;
    Installation installation;
    // Every process reports its start: the browser's and the web process's "checkbdvid".
    server::ReferenceServer reports({ installation.dir / "reports", installation.dir / "catalog", {}, "t", {} });
    ASSERT_TRUE(reports.start());
    std::filesystem::create_directories(installation.dir / "config" / "tvn");
    test::writeFile(installation.dir / "config" / "tvn" / "config.ini",
        "[app]\ninst = tvbd_5\n[server]\nreport = " + reports.address() + "\nca = " + reports.authorityFile().string() + "\n");
    server.addPage("index.html", testPage(server.url(), kModuleChecks));
    test::writeFile(installation.app / "url.txt", server.url() + "/index.html");

    EXPECT_EQ(installation.run(), 0);
    EXPECT_EQ(server.reports(), (std::vector<std::string> { "hello, world|invalid parameters|Invalid arguments|true" }));

    const std::string mainLog = installation.log("main");
    EXPECT_NE(mainLog.find("[Application::Application@"), std::string::npos);
    EXPECT_NE(mainLog.find("] process started"), std::string::npos);
    EXPECT_NE(mainLog.find("] window created"), std::string::npos);
    EXPECT_NE(mainLog.find("] open from url.txt, " + server.url() + "/index.html"), std::string::npos);
    EXPECT_NE(mainLog.find("] application close all clients"), std::string::npos);
    const std::string rendererLog = installation.log("renderer");
    EXPECT_NE(rendererLog.find("] process started"), std::string::npos);
    EXPECT_NE(rendererLog.find("] page context created, browserId: "), std::string::npos);
    EXPECT_NE(rendererLog.find("] create buildin module: test"), std::string::npos);
    EXPECT_NE(rendererLog.find("ERROR [") , std::string::npos); // "create buildin module failed" for 'Test'

    size_t started = 0;
    for (const auto& request : reports.requests())
        started += request.reportFields.count("ea") && request.reportFields.at("ea") == "checkbdvid" && request.reportFields.at("bd") == "5";
    EXPECT_GE(started, 2u);
}

TEST(Browser, PageFromThePack)
{
    test::PageServer server;
    Installation installation;
    const auto site = installation.dir / "site";
    std::filesystem::create_directories(site / "js");
    test::writeFile(site / "index.html", "<!doctype html><script src=\"js/my%20check.js\"></script>");
    test::writeFile(site / "catalog.json", "{\"dlls\": 2}");
    // The page's script lives in a file whose name a URL must encode; it reads the pack's data, as
    // web security allows a page of its own origin.
    const std::string script = "var results = [];\n"
        "fetch('catalog.json').then(function (r) { return r.json(); })\n"
        ".then(function (c) { results.push('dlls ' + c.dlls); }, function (e) { results.push('no catalog ' + e); })\n"
        ".then(function () {\n" + kModuleChecks + "results.push(location.href);\n"
        "return fetch('" + server.url() + "/report?' + encodeURIComponent(results.join('|')));\n"
        "}).then(function () { window.close(); }, function () { window.close(); });\n";
    test::writeFile(site / "js" / "my check.js", script);
    const std::string pack = "'" + (installation.app / "tvn-pak").string() + "' pack '" + site.string() + "' '"
        + (installation.app / "dist.pak").string() + "'";
    ASSERT_EQ(std::system(pack.c_str()), 0);

    EXPECT_EQ(installation.run(), 0);
    EXPECT_EQ(server.reports(),
        (std::vector<std::string> { "dlls 2|hello, world|invalid parameters|Invalid arguments|true|app://dist.pak/index.html?bd_vid=" }));
    EXPECT_NE(installation.log("main").find("] open from dist.pak"), std::string::npos);
}

TEST(Browser, PageFromTheDistFolder)
{
    test::PageServer server;
    Installation installation;
    std::filesystem::create_directories(installation.app / "dist");
    test::writeFile(installation.app / "dist" / "index.html", testPage(server.url(), kModuleChecks));
    EXPECT_EQ(installation.run(), 0);
    EXPECT_EQ(server.reports(), (std::vector<std::string> { "hello, world|invalid parameters|Invalid arguments|true" }));
    EXPECT_NE(installation.log("main").find("] open from dist, "), std::string::npos);
}

// A frame of the page's own origin gets its own `module`; a frame of another origin gets none.
TEST(Browser, OnlyFramesOfThePageOriginGetModule)
{
    test::PageServer server;
    Installation installation;
    const std::string frame = "<script>fetch('" + server.url() + "/report?' + encodeURIComponent("
        "location.host.split(':')[0] + ' ' + typeof module + ' ' + (typeof module === 'function' ? module('test').hello('frame') : '')));</script>";
    server.addPage("frame.html", frame);
    server.addPage("index.html", "<!doctype html><body>"
        "<iframe src='" + server.url() + "/frame.html'></iframe>"
        "<iframe src='" + server.url("localhost") + "/frame.html'></iframe>"
        "<script>setTimeout(function () { window.close(); }, 3000);</script></body>");
    test::writeFile(installation.app / "url.txt", server.url() + "/index.html");

    EXPECT_EQ(installation.run(), 0);
    std::vector<std::string> reports = server.reports();
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::string> { "127.0.0.1 function hello, frame", "localhost undefined " }));
}

// A second start of the same executable brings the first forward and exits 0 at once.
TEST(Browser, SecondInstanceActivatesTheFirst)
{
    test::PageServer server;
    Installation installation;
    server.addPage("index.html", "<!doctype html><script>fetch('/report?up'); setTimeout(function () { window.close(); }, 4000);</script>");
    test::writeFile(installation.app / "url.txt", server.url() + "/index.html");

    const pid_t first = installation.start();
    ASSERT_TRUE(server.waitForReports(1, std::chrono::seconds(30)));
    EXPECT_EQ(installation.run(), 0);
    EXPECT_EQ(Installation::wait(first), 0);

    const std::string log = installation.log("main");
    EXPECT_NE(log.find("] activated by another instance"), std::string::npos);
    EXPECT_NE(log.find("] another instance activated"), std::string::npos);
    size_t windows = 0;
    for (size_t at = log.find("] window created"); at != std::string::npos; at = log.find("] window created", at + 1))
        ++windows;
    EXPECT_EQ(windows, 1u);
}

// A resize of the window reaches the page's web process as "onSize".
TEST(Browser, ResizeReachesThePage)
{
    test::PageServer server;
    Installation installation;
    std::filesystem::create_directories(installation.dir / "config" / "tvn");
    test::writeFile(installation.dir / "config" / "tvn" / "config.ini", "[app]\nloglevel = debug\n");
    server.addPage("index.html", "<!doctype html><script>fetch('/report?up'); setTimeout(function () { window.close(); }, 3000);</script>");
    test::writeFile(installation.app / "url.txt", server.url() + "/index.html");

    const pid_t tvn = installation.start();
    ASSERT_TRUE(server.waitForReports(1, std::chrono::seconds(30)));
    const std::string resize = "xdotool search --sync --classname CefMainWindow_tvn windowsize %@ 700 500 >/dev/null 2>&1";
    EXPECT_EQ(std::system(resize.c_str()), 0);
    EXPECT_EQ(Installation::wait(tvn), 0);

    const std::string log = installation.log("renderer");
    size_t sizes = 0;
    for (size_t at = log.find("message: onSize"); at != std::string::npos; at = log.find("message: onSize", at + 1))
        ++sizes;
    EXPECT_GE(sizes, 2u); // the first size, then the resize
}
