// The wine module over a laid-out home: the prefixes it lists, the one in use, and choosing one
// (written to config.ini, used at once by the drive map, refused for anything but a prefix).
#include "core/PagePaths.h"
#include "core/TaskQueue.h"
#include "modules/CallBridge.h"
#include "modules/ModuleHandler.h"
#include "repair/History.h"
#include "tests/support/Environment.h"
#include "tests/support/Script.h"
#include "tests/support/TempDir.h"
#include "tests/support/WinePrefix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tvn;

namespace {


class WineModule : public testing::Test {
protected:
    void SetUp() override
    {
        environment.set("XDG_CONFIG_HOME", (dir / "config").string());
        environment.set("XDG_DATA_HOME", (dir / "data").string());
        environment.set("HOME", home.string());
        environment.unset("WINEPREFIX");
        environment.set("PATH", (dir / "bin").string());
        std::filesystem::create_directories(dir / "config" / "tvn");
        std::filesystem::create_directories(dir / "bin");
        test::writeFile(dir / "bin" / "wine", "#!/bin/sh\n");
        ::chmod((dir / "bin" / "wine").c_str(), 0755);

        const auto steam = home / ".local" / "share" / "Steam" / "steamapps";
        test::makeWinePrefix(steam / "compatdata" / "570" / "pfx", "win64");
        test::writeFile(steam / "appmanifest_570.acf", "\"AppState\" { \"name\" \"Dota 2\" }");
        test::makeWinePrefix(home / ".local" / "share" / "wineprefixes" / "old", "win32");

        CallBridge::setCurrent(&bridge);
        ModuleHandler::install(context.get(), 7, 3);
        run("var wine = module('wine')");
    }
    void TearDown() override
    {
        CallBridge::setCurrent(nullptr);
    }

    std::string run(const std::string& code) { return test::runScript(context.get(), code); }
    // Runs the script thread's tasks until `expression` is true (ten seconds at most).
    bool runUntil(const std::string& expression)
    {
        for (int i = 0; i < 2000 && run(expression) != "true"; ++i) {
            scriptThread.run();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return run(expression) == "true";
    }
    std::string config() { return test::readFile(dir / "config" / "tvn" / "config.ini"); }

    test::TempDir dir;
    std::filesystem::path home = dir / "home";
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    TaskQueue scriptThread;
    CallBridge bridge { [](int, const std::string&, const nlohmann::json&, const std::string&) { return true; },
        [this](std::function<void()> task) { scriptThread.post(std::move(task)); } };

    test::EnvironmentChange environment;
};

} // namespace

TEST_F(WineModule, ListsThePrefixesOffTheScriptThread)
{
    run("var listed = null; wine.prefixes().then(function (list) { listed = list; })");
    EXPECT_EQ(run("listed"), "null"); // answered later, never inside the call
    for (int i = 0; i < 2000 && run("listed === null") == "true"; ++i) {
        scriptThread.run();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(run("listed.map(function (p) { return [p.source, p.name, p.arch, p.wine].join('|'); }).join(';')"),
        "winetricks|old|win32|" + (dir / "bin" / "wine").string() + ";steam|Dota 2|win64|" + (dir / "bin" / "wine").string());
    EXPECT_EQ(run("listed[1].path"), (home / ".local" / "share" / "Steam" / "steamapps" / "compatdata" / "570" / "pfx").string());
}

TEST_F(WineModule, UseChoosesAPrefixAtOnceAndRefusesAnythingElse)
{
    EXPECT_EQ(run("wine.current"), "null"); // no prefix anywhere: tvn's own drive_c
    const auto dota = home / ".local" / "share" / "Steam" / "steamapps" / "compatdata" / "570" / "pfx";
    EXPECT_EQ(run("wine.use('" + dota.string() + "/')"), "true");
    EXPECT_EQ(config(), "[system]\nwineprefix = " + dota.string() + "\n\n");
    EXPECT_EQ(run("[wine.current.name, wine.current.source, wine.current.arch].join('|')"), "Dota 2|steam|win64");
    EXPECT_EQ(pagePath("C:\\windows\\x.dll"), dota / "drive_c" / "windows" / "x.dll");

    // Each refusal fails on one rule alone; nothing changes.
    std::filesystem::create_directories(dir / "noreg" / "drive_c");
    std::filesystem::create_directories(dir / "nodrive");
    test::writeFile(dir / "nodrive" / "system.reg", "");
    for (const std::string& wrong : { std::string("relative/pfx"), (dir / "noreg").string(), (dir / "nodrive").string(), (dir / "absent").string() })
        EXPECT_EQ(run("wine.use('" + wrong + "')"), "false") << wrong;
    EXPECT_EQ(config(), "[system]\nwineprefix = " + dota.string() + "\n\n");
    EXPECT_EQ(run("wine.current.name"), "Dota 2");
    for (const char* invalid : { "wine.use()", "wine.use(5)", "wine.use('a', 'b')" })
        EXPECT_EQ(run(invalid), "!Invalid arguments") << invalid;

    // "" is tvn's own drive_c, even with ~/.wine there; other entries of the file are kept.
    test::makeWinePrefix(home / ".wine", "win64");
    test::writeFile(dir / "config" / "tvn" / "config.ini", config() + "[page]\ntheme = dark\n");
    EXPECT_EQ(run("wine.use('')"), "true");
    EXPECT_EQ(config(), "[page]\ntheme = dark\n\n[system]\nwineprefix = none\n\n");
    EXPECT_EQ(run("wine.current"), "null");
    EXPECT_EQ(pagePath("C:\\x").parent_path().filename(), "drive_c");
}

// The history as the page gets it, newest first, and undo only of a prefix's newest run.
TEST_F(WineModule, HistoryAndUndo)
{
    const auto prefix = home / ".local" / "share" / "wineprefixes" / "old";
    const auto dll = prefix / "drive_c" / "windows" / "system32" / "x.dll";
    const History history = History::user();
    {
        const auto first = history.begin(prefix.string(), prefix / "drive_c", { { "x.dll", "repair" } });
        ASSERT_TRUE(first->beforeWrite(dll));
        test::writeFile(dll, "x, first");
        first->end("finished");
    }
    {
        const auto second = history.begin(prefix.string(), prefix / "drive_c", { { "x.dll", "repair" }, { "setup.exe", "install" } });
        ASSERT_TRUE(second->beforeWrite(dll));
        test::writeFile(dll, "x, second");
        second->end("cancelled");
    }
    run("var runs = null; wine.history().then(function (list) { runs = list; })");
    ASSERT_TRUE(runUntil("runs !== null"));
    EXPECT_EQ(run("runs.map(function (r) { return [r.state, r.items.length, r.changed, r.undoable, r.prefix === '" + prefix.string()
                  + "'].join('|'); }).join(';')"),
        "cancelled|2|1|true|true;finished|1|1|false|true");
    EXPECT_EQ(run("runs[0].items[1].action + ' ' + runs[0].items[1].fileName"), "install setup.exe");

    run("var undone = null; wine.undo(runs[1].id).then(function (result) { undone = result; })");
    ASSERT_TRUE(runUntil("undone !== null"));
    EXPECT_EQ(run("undone.ok + ' ' + undone.error.indexOf('a newer run of this prefix must be undone first')"), "false 0");
    run("undone = null; wine.undo(runs[0].id).then(function (result) { undone = result; })");
    ASSERT_TRUE(runUntil("undone !== null"));
    EXPECT_EQ(run("[undone.ok, undone.restored, undone.removed, undone.error].join('|')"), "true|1|0|");
    EXPECT_EQ(test::readFile(dll), "x, first");
    run("runs = null; wine.history().then(function (list) { runs = list; })");
    ASSERT_TRUE(runUntil("runs !== null"));
    EXPECT_EQ(run("runs.map(function (r) { return r.state + '|' + r.undoable; }).join(';')"), "undone|false;finished|true");
    EXPECT_EQ(run("wine.undo(42)"), "!Invalid arguments");
}
