// End to end: a page drives the file, reg and zip modules through `module()` in the real browser;
// a frame of another origin gets none of them.
#include "tests/e2e/Desktop.h"

#include <cstdlib>

using namespace tvn;
using test::eventually;

namespace {

class MachineModules : public test::Window {
protected:
    std::string quoted(const std::filesystem::path& path) { return nlohmann::json(path.string()).dump(); }
};

} // namespace

TEST_F(MachineModules, FilesRegistryAndArchives)
{
    const std::filesystem::path work = installation.dir / "work";
    std::filesystem::create_directories(work / "sub");
    test::writeFile(work / "a.txt", "hello");
    run("var file = module('file'), reg = module('reg'), zip = module('zip')");

    EXPECT_EQ(run("[file.exists(" + quoted(work / "a.txt") + "), file.fileSize(" + quoted(work / "a.txt") + "), file.copy({ from: " + quoted(work / "a.txt")
                  + ", to: " + quoted(work / "sub" / "b.txt") + " }), file.copy({ from: " + quoted(work / "a.txt") + ", to: " + quoted(work / "sub" / "b.txt")
                  + " })].join()"),
        "true,5,0,183");
    EXPECT_EQ(runAsync("var seen = []; file.listDir({ path: " + quoted(work) + ", recursive: true, callback: function (done, isDir, path) {"
                       " if (done) out = seen.sort().join('|'); else seen.push((isDir ? 'd ' : 'f ') + path.slice(" + std::to_string(work.string().size() + 1) + ")); } })"),
        "d sub|f a.txt|f sub/b.txt");
    EXPECT_EQ(runAsync("file.copyAsync({ from: " + quoted(work / "a.txt") + ", to: " + quoted(work / "copies") + " + '/', progress: function (p) {"
                       " if (p.complete) out = JSON.stringify(p); } })"),
        R"({"complete":true,"current":0,"total":0})");
    EXPECT_EQ(test::readFile(work / "copies" / "a.txt"), "hello");

    EXPECT_EQ(run("reg.writeString({ key: 'HKEY_CURRENT_USER', path: 'Software\\\\Tvn\\\\E2e', name: 'greeting', value: 'héllo' })"), "true");
    EXPECT_EQ(run("reg.readString({ path: 'software\\\\tvn\\\\e2e', name: 'greeting' }) + reg.deleteKey({ path: 'Software\\\\Tvn\\\\E2e' })"
                  " + reg.exists({ path: 'Software\\\\Tvn\\\\E2e', name: 'greeting' })"),
        "héllotruefalse");

    ASSERT_EQ(std::system(("python3 -c \"import zipfile; z = zipfile.ZipFile('" + (work / "x.zip").string()
                              + "', 'w'); z.writestr('d/', ''); z.writestr('d/f.txt', 'x' * 50); z.close()\"").c_str()),
        0);
    EXPECT_EQ(run("zip.open({ path: " + quoted(work / "x.zip") + " }).info().map(function (e) { return e.index + ':' + e.name + ':' + e.size + ':' + e.isdir; }).join()"),
        "0:d/:0:true,1:d/f.txt:50:false");
    EXPECT_EQ(run("zip.open({ path: " + quoted(work / "a.txt") + " }).info().length"), "0");
}

TEST_F(MachineModules, ForeignFrameHasNone)
{
    const std::string foreign = server.url("localhost");
    server.addPage("foreign.html", "<!doctype html><script>var r; try { r = typeof module + ' ' + typeof top.module; } catch (e) { r = typeof module + ' ' + e.name; }"
                                   "fetch('" + server.url() + "/report?' + encodeURIComponent('foreign ' + r));</script>");
    run("var f = document.createElement('iframe'); f.src = '" + foreign + "/foreign.html'; document.body.appendChild(f); 1");
    EXPECT_TRUE(server.waitForReportStartingWith("foreign ", std::chrono::seconds(10)).has_value());
    std::string report;
    for (const std::string& line : server.reports())
        if (line.starts_with("foreign "))
            report = line;
    EXPECT_EQ(report, "foreign undefined SecurityError");
}
