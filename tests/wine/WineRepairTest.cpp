// With Debian's Wine and the demo's real Windows files (demo/, built by mingw-w64): tvn reads and
// repairs a real prefix through the page's modules, and the demo program is the judge. The prefix
// wineboot made once for the run (make-prefix.sh) is only read; a test that changes a prefix works
// on a copy of its own.
#include "tests/e2e/Desktop.h"
#include "tools/server/ReferenceServer.h"

using namespace tvn;
using test::output;

namespace {

const std::filesystem::path kSharedPrefix = TVN_WINE_PREFIX;
const std::filesystem::path kDemoWindows = TVN_DEMO_WINDOWS;
const std::filesystem::path kDemoCatalog = TVN_DEMO_CATALOG;

const std::vector<std::string> kRuntimeDlls = { "libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll" };

// The page's item for a DLL of the demo catalog, in the prefix's system32.
std::string dllItem(const std::string& name, bool needReg = false)
{
    return "{ filePath: 'C:\\\\windows\\\\system32\\\\" + name + "', checkPath: ['C:\\\\windows\\\\system32\\\\'], fileName: '" + name
        + "', fileType: 'demo', needReg: " + (needReg ? "true" : "false") + " }";
}

const std::string kRuntimeItem = "{ displayName: 'tvn demo runtime - 1.0.0', fileName: 'tvn-demo-runtime-setup.exe', cmdParam: '/install /quiet' }";

class WineTest : public test::Window {
protected:
    // The prefix tvn works on: the shared one, or a copy of it when the test changes it.
    virtual bool changesPrefix() const { return true; }

    void beforeStart() override
    {
        ASSERT_TRUE(std::filesystem::exists(kSharedPrefix / ".made")) << "the shared prefix (make-prefix.sh) is missing";
        prefix = kSharedPrefix;
        if (changesPrefix()) {
            prefix = installation.dir / "prefix";
            ASSERT_EQ(std::system(("cp -a '" + kSharedPrefix.string() + "' '" + prefix.string() + "'").c_str()), 0);
            std::filesystem::create_directories(prefix / "drive_c" / "tvn-demo");
            std::filesystem::copy_file(kDemoWindows / "tvn-demo.exe", prefix / "drive_c" / "tvn-demo" / "tvn-demo.exe");
        }
        server = std::make_unique<server::ReferenceServer>(server::ReferenceServerOptions { installation.dir / "state", kDemoCatalog, {}, "wine-token", {} });
        ASSERT_TRUE(server->start());
        const std::filesystem::path config = installation.dir / "config" / "tvn" / "config.ini";
        test::writeFile(config, test::readFile(config) + "[server]\napi = " + server->address() + "\nca = " + server->authorityFile().string()
                                    + "\n[system]\nwineprefix = " + prefix.string() + "\n");
    }
    void TearDown() override
    {
        test::Window::TearDown();
        if (HasFailure())
            std::cerr << installation.log("renderer"); // the engine's own lines
        if (changesPrefix())
            std::system(("WINEPREFIX='" + prefix.string() + "' wineserver --kill >/dev/null 2>&1").c_str());
        if (server)
            server->stop();
    }

    std::string inPrefix(const std::string& command) { return output("WINEPREFIX='" + prefix.string() + "' WINEDEBUG=-all " + command); }
    // What the demo program printed (Wine's own words go elsewhere).
    std::string demoProgram() { return inPrefix("wine 'C:\\tvn-demo\\tvn-demo.exe' </dev/null"); }
    // Waits until Wine has written the prefix's registry, then its system.reg.
    std::string systemRegistry()
    {
        inPrefix("wineserver --wait");
        return test::readFile(prefix / "system.reg");
    }
    std::filesystem::path system32() const { return prefix / "drive_c" / "windows" / "system32"; }

    // Runs one of biz_repair's calls on `items`; "fileName:value" for each item's event, sorted.
    std::string engine(const std::string& call, const std::vector<std::string>& items, const std::string& value)
    {
        std::string list;
        for (const std::string& item : items)
            list += (list.empty() ? "" : ", ") + item;
        // The module is kept: its events go with it when the page lets it go.
        const std::string answer = runAsync("var got = []; window.repair = window.repair || module('biz_repair'); repair." + call + "([" + list + "], function (e) { got.push(e.fileName + ':' + e." + value
                + "); if (got.length === " + std::to_string(items.size()) + ") out = got.sort().join(); })",
            std::chrono::seconds(60));
        return answer == "pending" ? "pending, got " + run("JSON.stringify(got)") : answer;
    }

    std::filesystem::path prefix;
    std::unique_ptr<server::ReferenceServer> server;
};

// Reads the shared prefix only: the demo program, outside the prefix, analysed against it.
class WineAnalysis : public WineTest {
protected:
    bool changesPrefix() const override { return false; }
};

} // namespace

TEST_F(WineAnalysis, TheDemoProgramNeedsWhatAFreshPrefixLacks)
{
    const std::string program = (kDemoWindows / "tvn-demo.exe").string();
    const std::string analysis = runAsync("module('wine').analyze(" + nlohmann::json(program).dump()
        + ").then(function (n) { out = n.error || n.machine + ' ' + n.dlls.map(function (d) { return d.name.toLowerCase() + ':' + d.status; }).sort().join(); })");
    // Its own folder holds tvndemo.dll and tvndemort.dll (the build put them beside it).
    EXPECT_EQ(analysis, "x64 advapi32.dll:builtin,kernel32.dll:builtin,libgcc_s_seh-1.dll:missing,libstdc++-6.dll:missing,libwinpthread-1.dll:missing,"
                        "msvcrt.dll:builtin,tvndemo.dll:found,tvndemort.dll:found");
}

// The whole repair, as the main job does it through the page: the DLLs downloaded into system32
// byte for byte, the demo library registered by Wine's regsvr32, the runtime installed by its real
// installer and found by the scan that comes right after; then the program runs.
TEST_F(WineTest, TheDemoProgramRunsOnceTvnHasRepairedThePrefix)
{
    EXPECT_EQ(demoProgram(), "") << "it cannot start yet";
    std::vector<std::string> dlls;
    for (const std::string& name : kRuntimeDlls)
        dlls.push_back(dllItem(name));
    dlls.push_back(dllItem("tvndemo.dll", true));
    EXPECT_EQ(engine("repairDlls", dlls, "errorCode"), "libgcc_s_seh-1.dll:0,libstdc++-6.dll:0,libwinpthread-1.dll:0,tvndemo.dll:0");
    for (const std::string& name : kRuntimeDlls)
        EXPECT_EQ(test::readFile(system32() / name), test::readFile(kDemoCatalog / name)) << name;
    EXPECT_EQ(test::readFile(system32() / "tvndemo.dll"), test::readFile(kDemoWindows / "tvndemo.dll"));

    EXPECT_EQ(engine("scanSoftwares", { kRuntimeItem }, "isInstall"), "tvn-demo-runtime-setup.exe:false");
    EXPECT_EQ(engine("installSoftwares", { kRuntimeItem }, "errorCode"), "tvn-demo-runtime-setup.exe:0");
    // No wait of the test's own: tvn waits for the prefix's wineserver before it reads system.reg.
    EXPECT_EQ(engine("scanSoftwares", { kRuntimeItem }, "isInstall"), "tvn-demo-runtime-setup.exe:true");
    EXPECT_EQ(test::readFile(system32() / "tvndemort.dll"), test::readFile(kDemoWindows / "tvndemort.dll"));

    const std::string registry = systemRegistry();
    EXPECT_NE(registry.find("[Software\\\\tvn\\\\demo]"), std::string::npos) << "regsvr32 ran DllRegisterServer";
    EXPECT_NE(registry.find("\"registered\"=dword:00000001"), std::string::npos);
    EXPECT_NE(registry.find("\"DisplayName\"=\"tvn demo runtime - 1.0.0\""), std::string::npos);
    EXPECT_EQ(demoProgram(), "tvn demo program ran\r\n"); // a Windows program's line end
}

// A download whose bytes do not match the digest the server gave never reaches the prefix.
TEST_F(WineTest, ADllThatFailsItsDigestLeavesThePrefixAsItWas)
{
    const auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(system32()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = listing();
    server->setBehaviour("downloadUrl", server::Behaviour::wrongDigest());
    EXPECT_EQ(engine("repairDlls", { dllItem("libstdc++-6.dll") }, "errorCode"), "libstdc++-6.dll:2");
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(demoProgram(), "");
}

namespace {

// The history of runs and their undo, through the page, with tvn killed mid-run and started again.
class WineHistory : public WineTest {
protected:
    // The runs, newest first: "state:action fileName+...:undoable".
    std::string history()
    {
        return runAsync("module('wine').history().then(function (runs) { out = runs.map(function (r) { return r.state + ':' + r.items.map("
                        "function (i) { return i.action + ' ' + i.fileName; }).join('+') + ':' + r.undoable; }).join(', '); })",
            std::chrono::seconds(60));
    }
    // Undoes the newest run that may be undone: "ok restored removed" or the error.
    std::string undoNewest()
    {
        return runAsync("module('wine').history().then(function (runs) { var run = runs.filter(function (r) { return r.undoable; })[0];"
                        " if (!run) { out = 'nothing to undo'; return; }"
                        " module('wine').undo(run.id).then(function (r) { out = r.ok ? 'ok ' + r.restored + ' ' + r.removed : r.error; }); })",
            std::chrono::seconds(120));
    }
    // Whole files compared without a diff of their text (a registry file is megabytes).
    static bool same(const std::string& a, const std::string& b) { return a == b; }
    std::vector<std::string> systemNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(system32()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // tvn and its web processes killed at once (the engine runs in a web process), then started again.
    void killAndRestart(const std::function<void()>& meanwhile = {})
    {
        std::vector<pid_t> tree { tvn };
        for (size_t at = 0; at < tree.size(); ++at) {
            std::istringstream children(output("pgrep -P " + std::to_string(tree[at])));
            for (pid_t child; children >> child;)
                tree.push_back(child);
        }
        for (auto it = tree.rbegin(); it != tree.rend(); ++it)
            ::kill(*it, SIGKILL);
        test::Installation::wait(tvn);
        if (meanwhile)
            meanwhile();
        tvn = installation.start(startArguments());
        ASSERT_TRUE(resync()) << "tvn started again";
    }
};

} // namespace

// A repair that replaced an older copy of a DLL and registered another, then an install (a real
// installer that writes a library and a key): undone newest first, the prefix is as it was, byte for
// byte where tvn kept the bytes, and its registry files as before.
TEST_F(WineHistory, TheRepairAndTheInstallAreUndone)
{
    test::writeFile(system32() / "libstdc++-6.dll", "an older libstdc++");
    const std::vector<std::string> names = systemNames();
    const std::string registry = systemRegistry();
    const std::string userRegistry = test::readFile(prefix / "user.reg");
    EXPECT_EQ(engine("repairDlls", { dllItem("libstdc++-6.dll"), dllItem("tvndemo.dll", true) }, "errorCode"), "libstdc++-6.dll:0,tvndemo.dll:0");
    EXPECT_EQ(engine("installSoftwares", { kRuntimeItem }, "errorCode"), "tvn-demo-runtime-setup.exe:0");
    EXPECT_EQ(history(), "finished:install tvn-demo-runtime-setup.exe:true, finished:repair libstdc++-6.dll+repair tvndemo.dll:false");

    EXPECT_EQ(undoNewest().substr(0, 3), "ok ");
    EXPECT_FALSE(std::filesystem::exists(system32() / "tvndemort.dll"));
    EXPECT_EQ(history(), "undone:install tvn-demo-runtime-setup.exe:false, finished:repair libstdc++-6.dll+repair tvndemo.dll:true");
    EXPECT_EQ(undoNewest().substr(0, 3), "ok ");
    EXPECT_TRUE(test::readFile(system32() / "libstdc++-6.dll") == "an older libstdc++") << "the old bytes are back";
    EXPECT_EQ(systemNames(), names);
    EXPECT_TRUE(same(test::readFile(prefix / "system.reg"), registry));
    EXPECT_TRUE(same(test::readFile(prefix / "user.reg"), userRegistry));
    EXPECT_TRUE(same(systemRegistry(), registry)) << "no wineserver wrote its own registry over the restored one";
}

// tvn killed while a download waits for its server, and while an installer runs: the next start
// tells each run "interrupted", and its undo brings the prefix back.
TEST_F(WineHistory, RunsCutByAKillAreInterruptedAndUndone)
{
    const std::vector<std::string> names = systemNames();
    const std::string registry = systemRegistry();

    server->setBehaviour("files", server::Behaviour::slow(60000));
    run("window.repair = module('biz_repair'); repair.repairDlls([" + dllItem("libstdc++-6.dll") + "], function () {}); 1");
    ASSERT_TRUE(test::eventually([&] {
        const auto requests = server->requests();
        return std::any_of(requests.begin(), requests.end(), [](const auto& request) { return request.endpoint == "files"; });
    }));
    killAndRestart();
    EXPECT_EQ(history(), "interrupted:repair libstdc++-6.dll:true");
    EXPECT_EQ(undoNewest().substr(0, 3), "ok ");
    EXPECT_EQ(systemNames(), names);

    server->setBehaviour("files", server::Behaviour {});
    const std::string held = "{ displayName: 'tvn demo runtime - 1.0.0', fileName: 'tvn-demo-runtime-setup.exe', cmdParam: '/install /quiet /hold C:/tvn-demo/go' }";
    run("window.repair = module('biz_repair'); repair.installSoftwares([" + held + "], function () {}); 1");
    ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(system32() / "tvndemort.dll"); }, std::chrono::seconds(60)));
    killAndRestart([&] {
        test::writeFile(prefix / "drive_c" / "tvn-demo" / "go", ""); // the installer ends on its own, tvn gone
        inPrefix("wineserver --wait");
    });
    EXPECT_EQ(history(), "interrupted:install tvn-demo-runtime-setup.exe:true, undone:repair libstdc++-6.dll:false");
    EXPECT_EQ(undoNewest().substr(0, 3), "ok ");
    EXPECT_EQ(systemNames(), names);
    EXPECT_TRUE(same(test::readFile(prefix / "system.reg"), registry));
}
