// End to end: the page drives the repair engine through biz_repair in the real browser against
// the reference server: a scan, a repair (one file registered by a recording regsvr32), an install
// (a recording installer), a cancelled scan and a single download with its progress events.
#include "tests/e2e/Desktop.h"
#include "tests/support/Environment.h"
#include "tests/support/WindowsFiles.h"
#include "tests/support/WinePrefix.h"
#include "tools/server/ReferenceServer.h"

#include <cstdlib>
#include <sys/stat.h>

using namespace tvn;
using test::eventually;

namespace {

class RepairPage : public test::Window {
protected:
    void beforeStart() override
    {
        const std::filesystem::path catalog = installation.dir / "catalog";
        std::filesystem::create_directories(catalog);
        test::writeFile(catalog / "a.dll", "library a");
        test::writeFile(catalog / "b.dll", std::string(100000, 'b'));
        test::writeFile(catalog / "setup.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + (installation.dir / "installer-args").string() + "'\n");
        test::writeFile(catalog / "big.bin", std::string(4 << 20, 'g'));
        server = std::make_unique<server::ReferenceServer>(server::ReferenceServerOptions { installation.dir / "state", catalog, {}, "e2e-token", {} });
        ASSERT_TRUE(server->start());
        const std::filesystem::path config = installation.dir / "config" / "tvn" / "config.ini";
        test::writeFile(config, test::readFile(config) + "[server]\napi = " + server->address() + "\nreport = " + server->address()
                                    + "\nca = " + server->authorityFile().string() + "\n");

        // A registration tool that records how it was started, first on PATH (tvn inherits it).
        const std::filesystem::path bin = installation.dir / "bin";
        std::filesystem::create_directories(bin);
        test::writeFile(bin / "regsvr32", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + (installation.dir / "regsvr32-args").string() + "'\n");
        chmod((bin / "regsvr32").c_str(), 0755);
        m_path = std::getenv("PATH");
        setenv("PATH", (bin.string() + ":" + m_path).c_str(), 1);
        std::filesystem::create_directories(installation.dir / "system");
        test::writeFile(installation.dir / "system" / "present.dll", "here");
    }
    void TearDown() override
    {
        test::Window::TearDown();
        setenv("PATH", m_path.c_str(), 1);
        server->stop();
    }

    // A DLL item for `name` in `folder` (which ends with its separator), as the page writes one.
    static std::string dllIn(const std::string& folder, const std::string& name, bool needReg)
    {
        return nlohmann::json { { "filePath", folder + name }, { "checkPath", { folder } }, { "fileName", name }, { "fileType", "sys" }, { "needReg", needReg } }.dump();
    }
    std::string dll(const std::string& name, bool needReg = false) { return dllIn((installation.dir / "system").string() + "/", name, needReg); }

    std::unique_ptr<server::ReferenceServer> server;

private:
    std::string m_path;
};

} // namespace

TEST_F(RepairPage, ScanRepairInstall)
{
    run("var repair = module('biz_repair'); var seen = [];");
    EXPECT_EQ(runAsync("repair.scanDlls([" + dll("a.dll") + ", " + dll("present.dll") + ", " + dll("b.dll", true) + "], function (e) {"
                       " seen.push(e.fileName + ':' + e.isExist); if (seen.length === 3) out = seen.join(); })"),
        "a.dll:false,present.dll:true,b.dll:false");

    EXPECT_EQ(runAsync("seen = []; repair.repairDlls([" + dll("a.dll") + ", " + dll("b.dll", true) + "], function (e) {"
                       " seen.push(e.fileName + ':' + e.fileType + ':' + e.errorCode); if (seen.length === 2) out = seen.join(); })"),
        "a.dll:sys:0,b.dll:sys:0");
    EXPECT_EQ(test::readFile(installation.dir / "system" / "a.dll"), "library a");
    EXPECT_EQ(test::readFile(installation.dir / "system" / "b.dll"), std::string(100000, 'b'));
    EXPECT_TRUE(eventually([&] { return !test::readFile(installation.dir / "regsvr32-args").empty(); }));
    EXPECT_EQ(test::readFile(installation.dir / "regsvr32-args"), "/s\n" + (installation.dir / "system" / "b.dll").string() + "\n");

    EXPECT_EQ(runAsync("repair.installSoftwares([{ displayName: 'Test Runtime.1', fileName: 'setup.sh', cmdParam: '/quiet \"a b\"' }], function (e) {"
                       " out = e.fileName + ':' + e.errorCode; })"),
        "setup.sh:0");
    EXPECT_EQ(test::readFile(installation.dir / "installer-args"), "/quiet\na b\n");
}

TEST_F(RepairPage, CancelAndSingleDownload)
{
    // A long scan, cancelled after its first event.
    std::string items;
    for (int i = 0; i < 400; ++i)
        items += (i ? ", " : "") + dll("f" + std::to_string(i) + ".dll");
    run("var repair = module('biz_repair'); var scanned = 0;");
    EXPECT_EQ(runAsync("repair.scanDlls([" + items + "], function () { if (++scanned === 1) repair.cancelTask(function () { out = 'cancelled'; }); })"), "cancelled");
    EXPECT_LT(std::stoi(run("scanned")), 400);

    const std::string result = runAsync("var events = []; var r = repair.downloadFile({ fileName: 'big.bin', fileType: 'data', progress: function (e) {"
                                        " events.push(e); if (e.complete) out = JSON.stringify([r.downloadPath, events.length, events[0], e]); } })");
    const nlohmann::json shown = nlohmann::json::parse(result, nullptr, false);
    ASSERT_TRUE(shown.is_array()) << result;
    EXPECT_EQ(shown[0], (installation.downloads / "big.bin").string());
    EXPECT_GE(shown[1].get<int>(), 3); // the first event, progress, the last
    EXPECT_EQ(shown[2], nlohmann::json::parse(R"({"complete":false,"error":0,"current":0,"total":100})"));
    EXPECT_EQ(shown[3], nlohmann::json::parse(R"({"complete":true,"error":0,"current":0,"total":0})"));
    EXPECT_EQ(test::readFile(installation.downloads / "big.bin"), std::string(4 << 20, 'g'));

    // A preview's sizes, as the server says them: none for a name that is not a plain file name
    // (the server is not asked) or a file it has not.
    EXPECT_EQ(runAsync("repair.downloadSizes([{ fileName: 'big.bin', fileType: 'data' }, { fileName: '../big.bin' }, { fileName: 'none.bin' }])"
                       ".then(function (r) { out = JSON.stringify(r.sizes); })"),
        R"([{"fileName":"big.bin","size":4194304},{"fileName":"../big.bin","size":0},{"fileName":"none.bin","size":0}])");
    EXPECT_EQ(run("try { repair.downloadSizes('big.bin'); 'no' } catch (e) { e.message }"), "Invalid arguments");
}

namespace {

// The machine to repair is a Wine prefix laid out by the test, with a recording `wine` on PATH.
class WinePrefixPage : public RepairPage {
protected:
    void beforeStart() override
    {
        RepairPage::beforeStart();
        prefix = installation.dir / "prefix";
        test::makeWinePrefix(prefix, "win64");
        test::writeFile(prefix / "drive_c" / "windows" / "system32" / "PRESENT.DLL", "here");
        test::writeFile(prefix / "system.reg", "WINE REGISTRY Version 2\n\n"
                                               "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\PrefixRuntime] 1700000000\n"
                                               "\"DisplayName\"=\"Prefix Runtime 1.0\"\n");
        test::writeFile(installation.dir / "bin" / "wine",
            "#!/bin/sh\nprintf '%s %s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (installation.dir / "wine-calls").string() + "'\n");
        chmod((installation.dir / "bin" / "wine").c_str(), 0755);
        const std::filesystem::path config = installation.dir / "config" / "tvn" / "config.ini";
        test::writeFile(config, test::readFile(config) + "[system]\nwineprefix = " + prefix.string() + "\n");
    }

    std::string windowsDll(const std::string& name, bool needReg = false) { return dllIn("C:\\Windows\\System32\\", name, needReg); }

    std::filesystem::path prefix;
};

} // namespace

TEST_F(WinePrefixPage, RepairsThePrefix)
{
    run("var repair = module('biz_repair'); var seen = [];");
    EXPECT_EQ(runAsync("repair.scanDlls([" + windowsDll("a.dll") + ", " + windowsDll("present.dll") + ", " + windowsDll("b.dll", true) + "], function (e) {"
                       " seen.push(e.fileName + ':' + e.isExist); if (seen.length === 3) out = seen.join(); })"),
        "a.dll:false,present.dll:true,b.dll:false");
    EXPECT_EQ(runAsync("seen = []; repair.repairDlls([" + windowsDll("a.dll") + ", " + windowsDll("b.dll", true) + "], function (e) {"
                       " seen.push(e.fileName + ':' + e.errorCode); if (seen.length === 2) out = seen.join(); })"),
        "a.dll:0,b.dll:0");
    EXPECT_EQ(test::readFile(prefix / "drive_c" / "windows" / "system32" / "a.dll"), "library a");
    EXPECT_TRUE(eventually([&] { return !test::readFile(installation.dir / "wine-calls").empty(); }));
    EXPECT_EQ(test::readFile(installation.dir / "wine-calls"), prefix.string() + " regsvr32 /s C:\\Windows\\System32\\b.dll\n");

    EXPECT_EQ(runAsync("repair.scanSoftwares([{ displayName: 'Prefix Runtime 1.0.5', fileName: 'p.exe' }, { displayName: 'Elsewhere 2.0', fileName: 'e.exe' }],"
                       " function (e) { seen.push(e.fileName + ':' + e.isInstall); if (seen.length === 4) out = seen.slice(2).join(); })"),
        "p.exe:true,e.exe:false");
    // The file module sees the prefix through the same paths; what it reports stays native.
    EXPECT_EQ(run("module('file').exists('c:\\\\windows\\\\system32\\\\a.DLL')"), "true");
}

// The same library repaired into two prefixes is fetched once: the second comes from the download
// cache, and the files endpoint sees one request.
TEST_F(WinePrefixPage, TheSameFileForTwoPrefixesIsOneRequest)
{
    const std::filesystem::path other = installation.dir / "other-prefix";
    test::makeWinePrefix(other, "win64");
    run("var repair = module('biz_repair'); var seen = [];");
    const std::string repairA = "seen = []; repair.repairDlls([" + windowsDll("a.dll") + "], function (e) { out = e.fileName + ':' + e.errorCode; })";
    EXPECT_EQ(runAsync(repairA), "a.dll:0");
    EXPECT_EQ(run("module('wine').use(" + nlohmann::json(other.string()).dump() + ")"), "true");
    EXPECT_EQ(runAsync(repairA), "a.dll:0");
    EXPECT_EQ(test::readFile(prefix / "drive_c" / "windows" / "system32" / "a.dll"), "library a");
    EXPECT_EQ(test::readFile(other / "drive_c" / "windows" / "system32" / "a.dll"), "library a");
    const auto requests = server->requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const auto& request) { return request.endpoint == "files"; }), 1);
    EXPECT_TRUE(installation.logShows("renderer", "download from cache: "));
}

namespace {

// A home laid out with a Proton prefix (made by a Proton build whose wine records its calls), a
// bottle and a winetricks prefix; tvn starts with no prefix chosen.
class HomePrefixesPage : public RepairPage {
protected:
    void beforeStart() override
    {
        RepairPage::beforeStart();
        const std::filesystem::path home = installation.dir / "home";
        const std::filesystem::path steamapps = home / ".local" / "share" / "Steam" / "steamapps";
        dota = steamapps / "compatdata" / "570" / "pfx";
        test::makeWinePrefix(dota, "win64");
        test::writeFile(steamapps / "appmanifest_570.acf", "\"AppState\"\n{\n\t\"appid\"\t\t\"570\"\n\t\"name\"\t\t\"Dota 2\"\n}\n");
        const std::filesystem::path proton = steamapps / "common" / "Proton 9.0";
        std::filesystem::create_directories(proton / "files" / "bin");
        test::writeFile(steamapps / "compatdata" / "570" / "config_info", "9.0-1\n" + (proton / "files" / "share" / "fonts").string() + "/\n");
        test::writeFile(proton / "files" / "bin" / "wine",
            "#!/bin/sh\nprintf 'proton %s %s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (installation.dir / "wine-calls").string() + "'\n");
        chmod((proton / "files" / "bin" / "wine").c_str(), 0755);
        test::makeWinePrefix(home / ".local" / "share" / "bottles" / "bottles" / "Office", "win32");
        test::writeFile(home / ".local" / "share" / "bottles" / "bottles" / "Office" / "bottle.yml", "Name: Office 2010\nRunner: sys-wine-9.0\n");
        test::makeWinePrefix(home / ".local" / "share" / "wineprefixes" / "old", "");
        environment.set("HOME", home.string()); // tvn inherits it; put back once tvn has ended
    }

    std::string config() { return test::readFile(installation.dir / "config" / "tvn" / "config.ini"); }

    std::filesystem::path dota;
    test::EnvironmentChange environment;
};

} // namespace

TEST_F(HomePrefixesPage, ListsChoosesAndRepairsThePrefixWithItsOwnWine)
{
    run("var wine = module('wine');");
    EXPECT_EQ(runAsync("wine.prefixes().then(function (list) { out = list.map(function (p) { return [p.source, p.name, p.arch].join('|'); }).join(); })"),
        "winetricks|old|,steam|Dota 2|win64,bottles|Office 2010|win32");
    EXPECT_EQ(run("wine.current"), "null");

    // Not a prefix: false, and nothing changes.
    const std::string before = config();
    EXPECT_EQ(run("wine.use('" + (installation.dir / "system").string() + "')"), "false");
    EXPECT_EQ(config(), before);
    EXPECT_EQ(run("wine.current"), "null");

    // Dota's prefix: the next repair lands in its drive_c, registered by its Proton's wine.
    EXPECT_EQ(run("wine.use('" + dota.string() + "')"), "true");
    EXPECT_NE(config().find("wineprefix = " + dota.string() + "\n"), std::string::npos);
    EXPECT_EQ(run("[wine.current.name, wine.current.source, wine.current.arch].join()"), "Dota 2,steam,win64");
    EXPECT_EQ(runAsync("module('biz_repair').repairDlls([" + dllIn("C:\\Windows\\System32\\", "b.dll", true) + "], function (e) { out = e.fileName + ':' + e.errorCode; })"),
        "b.dll:0");
    EXPECT_EQ(test::readFile(dota / "drive_c" / "windows" / "system32" / "b.dll"), std::string(100000, 'b'));
    EXPECT_TRUE(eventually([&] { return !test::readFile(installation.dir / "wine-calls").empty(); }));
    EXPECT_EQ(test::readFile(installation.dir / "wine-calls"), "proton " + dota.string() + " regsvr32 /s C:\\Windows\\System32\\b.dll\n");
    EXPECT_TRUE(installation.logShows("renderer", "use: prefix " + dota.string())); // the page's modules log there
}

namespace {

// A prefix with a program whose folder holds one of its DLLs, whose system32 holds Wine's
// placeholder for another, and which needs two more that are nowhere.
class ProgramPage : public RepairPage {
protected:
    void beforeStart() override
    {
        RepairPage::beforeStart();
        prefix = installation.dir / "prefix";
        test::makeWinePrefix(prefix, "win64");
        const std::filesystem::path games = prefix / "drive_c" / "Games";
        std::filesystem::create_directories(games);
        test::buildWindowsFile(games, "game.exe", "x64", { { "beside.dll", "besidefn" }, { "placed.dll", "placedfn" }, { "catalog.dll", "catalogfn" },
                                                          { "unknown.dll", "unknownfn", true } });
        test::buildWindowsFile(games, "beside.dll", "x64", {}, true, { "besidefn" });
        const auto placed = test::buildWindowsFile(installation.dir.path(), "placed.dll", "x64", {}, true, { "placedfn" });
        test::copyWithWineTag(placed, prefix / "drive_c" / "windows" / "system32" / "placed.dll", "Wine placeholder DLL");
        const std::filesystem::path config = installation.dir / "config" / "tvn" / "config.ini";
        test::writeFile(config, test::readFile(config) + "[system]\nwineprefix = " + prefix.string() + "\n");
    }

    std::filesystem::path prefix;
};

} // namespace

TEST_F(ProgramPage, AnalyzeFollowsTheProgramsImportsThroughThePrefix)
{
    run("var wine = module('wine');");
    const std::string statuses = "function (n) { out = n.error || [n.machine, n.kind, n.dotnet].join() + ';' + n.dlls.map(function (d) {"
                                 " return [d.name, d.status, d.neededBy.join('+'), d.delay].join(':'); }).join(); }";
    const std::string expected = "x64,program,;beside.dll:found:game.exe:false,placed.dll:builtin:game.exe:false,catalog.dll:missing:game.exe:false,"
                                 "unknown.dll:missing:game.exe:true";
    // A Windows path in the prefix in use, and the same file by its native path.
    EXPECT_EQ(runAsync("wine.analyze('C:\\\\games\\\\GAME.exe').then(" + statuses + ")"), expected);
    EXPECT_EQ(runAsync("wine.analyze(" + nlohmann::json((prefix / "drive_c" / "Games" / "game.exe").string()).dump() + ").then(" + statuses + ")"), expected);
    EXPECT_EQ(runAsync("wine.analyze('C:\\\\windows\\\\system.ini').then(" + statuses + ")"), "cannot be opened");
    EXPECT_EQ(run("wine.analyze()"), "!Invalid arguments");
}
