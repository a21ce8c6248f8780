// End to end: what a page that is not the start page can reach (nothing of the machine), tried as
// an attacker would. Each test is an attack that must fail; the start page and its own frames keep
// `module`.
#include "tests/e2e/Desktop.h"

#include <cstdlib>
#include <glib.h>

using namespace tvn;
using test::Installation;
using test::eventually;

namespace {

class TrustBoundary : public test::Window {
};

} // namespace

// A frame of another origin can neither call the start page's `module` through `top`, nor frame a
// page of the start origin and use that frame's `module`. The framed page has one of its own.
TEST_F(TrustBoundary, ForeignFramesReachNoModule)
{
    const std::string home = server.url(), foreign = server.url("localhost");
    server.addPage("inner.html", "<!doctype html><script>fetch('/report?' + encodeURIComponent('inner ' + typeof module));</script>");
    server.addPage("evil.html", "<!doctype html><body><script>\n"
        "function report(t) { fetch('" + home + "/report?' + encodeURIComponent(t)); }\n"
        "try { report('top ' + top.module('test').hello('x')); } catch (e) { report('top ' + e.name); }\n"
        "var f = document.createElement('iframe');\n"
        "f.onload = function () { setTimeout(function () {\n"
        "  try { report('framed ' + f.contentWindow.module('test').hello('x')); } catch (e) { report('framed ' + e.name); } }, 300); };\n"
        "f.src = '" + home + "/inner.html';\n"
        "document.body.appendChild(f);\n"
        "</script></body>");
    EXPECT_EQ(run("var f = document.createElement('iframe'); f.src = '" + foreign + "/evil.html'; document.body.appendChild(f); 'framed'"), "framed");
    std::vector<std::string> reports;
    EXPECT_TRUE(eventually([&] {
        reports.clear();
        for (const std::string& report : server.reports())
            if (!report.starts_with("#")) // the commands' own
                reports.push_back(report);
        return reports.size() >= 3;
    }));
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::string> { "framed SecurityError", "inner function", "top SecurityError" }));
}

// A link to another origin opens in the desktop's browser; the view stays on the start page.
class LinkedWindow : public TrustBoundary {
protected:
    void beforeStart() override { browser = std::make_unique<test::DefaultHandler>(installation, std::vector<std::string> { "http", "https" }); }
    std::unique_ptr<test::DefaultHandler> browser;
};

TEST_F(LinkedWindow, LinkToAnotherOriginOpensInTheDesktopBrowser)
{
    server.addPage("elsewhere.html", test::commandPage()); // would take orders if it were shown
    const std::string target = server.url("localhost") + "/elsewhere.html";
    run("var a = document.createElement('a'); a.href = '" + target + "'; a.textContent = 'away'; document.body.appendChild(a); a.click(); 1");
    EXPECT_TRUE(eventually([&] { return browser->received() == target + "\n"; })) << browser->received();
    EXPECT_EQ(run("location.href"), server.url() + "/index.html");
    EXPECT_EQ(run("typeof module"), "function");
    EXPECT_TRUE(installation.logShows("main", "] open in the default browser: " + target));

    // A script's navigation is stopped when its answer comes, before the page is replaced.
    run("setTimeout(function () { location.href = '" + target + "?by-script'; }, 100); 1");
    EXPECT_TRUE(eventually([&] { return browser->received() == target + "\n" + target + "?by-script\n"; })) << browser->received();
    // The stopped navigation may have cut off the page's request for commands: ask until it answers.
    EXPECT_EQ(runAgainUntilAnswered("location.href").value_or("(no answer)"), server.url() + "/index.html");

    // window.open on a user's click (no page opens a window without one) opens no window of ours.
    run("document.body.style.margin = 0; var b = document.createElement('button'); b.style.cssText = 'width: 100vw; height: 100vh';"
        "b.onclick = function () { window.opened = String(window.open('" + target + "?popup')); }; document.body.appendChild(b); 1");
    const test::Geometry g = geometry();
    ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(g.x + 300) + " " + std::to_string(g.y + 300) + " sleep 0.2 click 1").c_str()), 0);
    EXPECT_TRUE(eventually([&] { return browser->received().ends_with(target + "?popup\n"); })) << browser->received();
    EXPECT_EQ(run("window.opened"), "null");
    EXPECT_EQ(otherWindows(), std::vector<std::string> {});
}

// A start page from a file reads no file, not even beside it; it keeps `module`.
class FileStartPage : public TrustBoundary {
protected:
    void beforeStart() override
    {
        std::filesystem::create_directories(installation.dir / "site");
        test::writeFile(installation.dir / "site" / "index.html", test::commandPage("", server.url()));
        test::writeFile(installation.dir / "site" / "beside.txt", "beside");
        test::writeFile(installation.dir / "secret.txt", "secret");
        test::writeFile(installation.app / "url.txt", "file://" + (installation.dir / "site" / "index.html").string() + "\n");
    }
};

TEST_F(FileStartPage, ReadsNoOtherFile)
{
    EXPECT_EQ(run("typeof module"), "function");
    const auto read = [&](const std::filesystem::path& file) {
        return runAsync("fetch('file://" + file.string() + "').then(function (r) { return r.text(); })"
            ".then(function (t) { out = 'read ' + t; }, function () { out = 'refused'; })");
    };
    EXPECT_EQ(read(installation.dir / "secret.txt"), "refused");
    EXPECT_EQ(read(installation.dir / "site" / "beside.txt"), "refused");
    EXPECT_EQ(runAsync("var x = new XMLHttpRequest(); x.onload = function () { out = 'read ' + x.responseText; };"
                       "x.onerror = function () { out = 'refused'; }; x.open('GET', 'file:///etc/passwd'); x.send()"),
        "refused");
}

// A file dropped on a page that does not take drops never becomes the page.
TEST_F(TrustBoundary, DroppedHtmlFileNeverBecomesThePage)
{
    test::writeFile(installation.dir / "dropped.html", test::commandPage()); // would take orders if it were shown
    // A synthetic drop is not always taken on the X server: drop again, as a user would, until the
    // view has been asked to load the file.
    const auto refused = [&] { return installation.log("main").find("] navigation refused: file://") != std::string::npos; };
    for (int attempt = 0; attempt < 4 && !refused(); ++attempt) {
        dragIn({ installation.dir / "dropped.html" });
        eventually(refused, std::chrono::seconds(3));
        EXPECT_EQ(run("location.href"), server.url() + "/index.html");
    }
    EXPECT_TRUE(refused()) << installation.log("main");
}

// A file whose name is not UTF-8, dragged over the window and chosen in the file dialog: the
// processes live and the page gets the name with replacement characters.
TEST_F(TrustBoundary, NamesThatAreNotUtf8ReachThePage)
{
    const auto folder = installation.dir / "files";
    std::filesystem::create_directories(folder);
    test::writeFile(folder / "\xFF\xFE.txt", "odd");
    const std::string shown = (folder / "\xEF\xBF\xBD\xEF\xBF\xBD.txt").string();

    dragIn({ folder / "\xFF\xFE.txt" });
    EXPECT_TRUE(eventually([&] { return run("module('dragdrop').getFiles().join('|')") == shown; })) << run("module('dragdrop').getFiles().join('|')");

    openFileDialog("chosen", folder, "accept_filters: ''"); // a pattern would not match the name GTK shows
    ASSERT_EQ(std::system("xdotool key ctrl+a sleep 0.3 key alt+o"), 0);
    EXPECT_TRUE(eventually([&] { return run("chosen") != "pending"; }));
    EXPECT_EQ(run("chosen"), shown);
    EXPECT_TRUE(installation.logShows("main", "] file name is not utf-8: " + shown));
}

// url.txt naming a plain-http page on another host is refused; the next source is shown.
TEST(UrlTxt, RemoteHttpIsRefused)
{
    test::PageServer server;
    Installation installation;
    std::filesystem::create_directories(installation.app / "dist");
    test::writeFile(installation.app / "dist" / "index.html", "<!doctype html><script>fetch('" + server.url()
        + "/report?' + encodeURIComponent(typeof module + ' ' + location.href)).then(window.close.bind(window), window.close.bind(window));</script>");
    test::writeFile(installation.app / "url.txt", "http://example.com/\n");
    EXPECT_EQ(installation.run(), 0);
    EXPECT_EQ(server.reports(), (std::vector<std::string> { "function app://dist/index.html?bd_vid=" }));
    const std::string log = installation.log("main");
    EXPECT_NE(log.find("] url.txt refused, http://example.com/"), std::string::npos);
    EXPECT_LT(log.find("] url.txt refused"), log.find("] open from dist, "));
}

// The dist folder's page can neither read nor frame a file outside the folder through app://dist:
// not by an absolute path, nor by its escaped form, nor through a link inside the folder. The
// outside file, were it shown, would report that it has `module`.
TEST(DistFolder, NoFileOutsideItIsServed)
{
    test::PageServer server;
    Installation installation;
    const auto dist = installation.app / "dist";
    std::filesystem::create_directories(dist);
    const auto outside = installation.dir / "outside.html";
    test::writeFile(outside, "<!doctype html><script>window.outside = typeof module;</script>");
    std::filesystem::create_symlink(outside, dist / "link.html");
    const std::string path = outside.string();
    test::writeFile(dist / "index.html", "<!doctype html><body><script>\n"
        "function frame(src) { return new Promise(function (done) { var f = document.createElement('iframe');\n"
        "  f.onload = function () { var seen = 'none'; try { var w = f.contentWindow; if ('outside' in w) seen = 'loaded ' + w.outside; } catch (e) { seen = e.name; }\n"
        "    done('frame ' + seen); };\n"
        "  f.src = src; document.body.appendChild(f); }); }\n"
        "function read(src) { return fetch(src).then(function (r) { return r.ok ? 'read' : 'status ' + r.status; }, function () { return 'refused'; }); }\n"
        "Promise.all([frame('app://dist/" + path + "'), frame('app://dist/%2F" + path.substr(1) + "'), frame('app://dist/link.html'),\n"
        "  read('app://dist//etc/hostname'), read('app://dist/%2Fetc%2Fhostname'), read('app://dist/index.html')])\n"
        ".then(function (all) { return fetch('" + server.url() + "/report?' + encodeURIComponent(all.join('|'))); })\n"
        ".then(window.close.bind(window), window.close.bind(window));\n"
        "</script></body>");
    EXPECT_EQ(installation.run(), 0);
    const std::vector<std::string> reports = server.reports();
    ASSERT_EQ(reports.size(), 1u) << installation.log("main");
    EXPECT_TRUE(reports[0].starts_with("frame none|frame none|frame none|")) << reports[0];
    EXPECT_EQ(reports[0].find("|read|"), std::string::npos) << reports[0];
    EXPECT_TRUE(reports[0].ends_with("|read")) << reports[0]; // the folder's own file is served
}

// A frame's download (a link with "download", a navigation to a file WebKit cannot show) is
// cancelled and logged; nothing lands in the user's Downloads folder (WebKit's choice), nor in the
// home folder (its choice when there is no Downloads folder).
TEST_F(TrustBoundary, WebDownloadsAreRefused)
{
    const std::string name = "tvn-e2e-download-" + std::to_string(getpid()) + ".bin";
    const std::filesystem::path downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD) ? g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)
                                                                                             : std::filesystem::path(g_get_home_dir()) / "Downloads";
    server.addPage("payload.bin", "payload");
    run("var a = document.createElement('a'); a.href = '/payload.bin'; a.download = '" + name + "'; document.body.appendChild(a); a.click(); 1");
    const auto refused = [&] { return installation.log("main").find("] web download refused: " + server.url() + "/payload.bin") != std::string::npos; };
    EXPECT_TRUE(test::eventually(refused)) << installation.log("main");
    EXPECT_EQ(run("location.href"), server.url() + "/index.html");
    EXPECT_FALSE(std::filesystem::exists(downloads / name));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(g_get_home_dir()) / name));
}
