// The repair engine against the reference server, with the event bus pumped as the web process
// pumps it. Each test has an engine of its own, ended (its threads joined) when the test ends.
#include "repair/History.h"
#include "repair/ProgressPacer.h"
#include "repair/SystemTolvane.h"

#include "core/EventBus.h"
#include "core/Logging.h"
#include "platform/InstalledPrograms.h"
#include "platform/RegistryStore.h"

#include "tests/support/LogFile.h"
#include "tests/support/Environment.h"
#include "tests/support/Eventually.h"
#include "tests/support/PageServer.h"
#include "tests/support/ServerFixture.h"
#include "tests/support/WinePrefix.h"
#include "util/Sha256.h"

#include <csignal>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>

using namespace tvn;
using Behaviour = server::Behaviour;

namespace {

// Every message of the engine, as "name:value:value...".
class Messages {
public:
    Messages()
    {
        for (const char* name : { "onScanDlls", "onRepairDlls", "onScanSoftwares", "onInstallSoftwares", "onCancelTask" }) {
            m_subscriptions.push_back(EventBus::Bus::instance().subscribe(name, [this](const EventBus::Message* message) {
                std::string text = message->name;
                for (const auto& value : *message->values) {
                    text += ':';
                    if (const auto* string = std::get_if<std::string>(&value))
                        text += *string;
                    else if (const auto* flag = std::get_if<bool>(&value))
                        text += *flag ? "true" : "false";
                    else if (const auto* number = std::get_if<int32_t>(&value))
                        text += std::to_string(*number);
                }
                m_seen.push_back(text);
            }));
        }
    }

    // Pumps the bus until `count` messages have come (or 30 s have passed).
    const std::vector<std::string>& waitFor(size_t count)
    {
        return waitForLast("", count);
    }

    // The same, ending early once the last message is `last`.
    const std::vector<std::string>& waitForLast(const std::string& last, size_t count = SIZE_MAX)
    {
        for (int i = 0; i < 6000 && m_seen.size() < count && (last.empty() || m_seen.empty() || m_seen.back() != last); ++i) {
            EventBus::Bus::instance().queue().run();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_seen;
    }

    // Pumps for a while longer, to see that nothing more comes.
    const std::vector<std::string>& settle(std::chrono::milliseconds time)
    {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            EventBus::Bus::instance().queue().run();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_seen;
    }

private:
    std::vector<EventBus::Subscription> m_subscriptions;
    std::vector<std::string> m_seen;
};

class EngineTest : public test::ServerFixture {
protected:
    void SetUp() override
    {
        test::ServerFixture::SetUp();
        log::initialize({ dir / "main.log", log::Severity::Info });
        std::filesystem::create_directories(dir / "bin");
        m_path = std::getenv("PATH");
        setenv("PATH", ((dir / "bin").string() + ":" + m_path).c_str(), 1);
        engine = std::make_unique<SystemTolvane>();
    }

    // Whatever a test left running ends (and its threads are joined) before the next test begins.
    void TearDown() override
    {
        engine.reset();
        setenv("PATH", m_path.c_str(), 1);
        test::ServerFixture::TearDown();
    }

    DllItem dll(const std::string& name, bool needReg = false) const
    {
        return { (dir / "system" / name).string(), {}, name, "sys", needReg };
    }

    void writeScript(const std::filesystem::path& path, const std::string& body) const
    {
        test::writeFile(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
    }

    std::unique_ptr<SystemTolvane> engine;

private:
    std::string m_path;
};

} // namespace

TEST(RepairRules, DriveLetters)
{
    EXPECT_EQ(adjustDriveLetter("C:\\Windows\\System32\\", "D:\\Windows"), "D:\\Windows\\System32\\");
    EXPECT_EQ(adjustDriveLetter("c:\\x", "D:\\Windows"), "D:\\x");
    EXPECT_EQ(adjustDriveLetter("E:\\Tools\\", "D:\\Windows"), "E:\\Tools\\");
    EXPECT_EQ(adjustDriveLetter("C", "D:\\Windows"), "C");
    EXPECT_EQ(adjustDriveLetter("/usr/lib/", "D:\\Windows"), "/usr/lib/");
    EXPECT_EQ(adjustDriveLetter("C:\\x", ""), "C:\\x");
}

TEST(RepairRules, InstalledPrefixes)
{
    const std::vector<std::string> installed = { "", "Runtime 2019 x64 - 14.28.29913", "Short" };
    EXPECT_TRUE(matchesInstalled(installed, "Runtime 2019 x64 - 14.28.30000"));
    EXPECT_FALSE(matchesInstalled(installed, "runtime 2019 x64 - 14.28.1")); // case matters
    EXPECT_FALSE(matchesInstalled(installed, "Shorter name.1"));           // longer than the value
    EXPECT_TRUE(matchesInstalled(installed, "NoDot"));                     // empty prefix: any non-empty name
    // Cut at the last ".": "Runtime 2019 x64 - 14.28" is no prefix of "... - 14.0", "... - 14" would be.
    EXPECT_FALSE(matchesInstalled({ "Runtime 2019 x64 - 14.0 Additional" }, "Runtime 2019 x64 - 14.28.1"));
    EXPECT_FALSE(matchesInstalled({}, "NoDot"));

    EXPECT_EQ(platform::parseDpkgStatus("Package: libfoo\nStatus: install ok installed\nVersion: 1.2-3\n\n"
                                        "Package: gone\nStatus: deinstall ok config-files\nVersion: 1\n\n"
                                        "Package: bar\nVersion: 2.0\nStatus: install ok installed\n"),
        (std::vector<std::string> { "libfoo 1.2-3", "bar 2.0" }));
}

TEST_F(EngineTest, ScanLooksInEachFolder)
{
    std::filesystem::create_directories(dir / "a");
    test::writeFile(dir / "a" / "present.dll", "x");
    test::writeFile(dir / "ajoined.dll", "x");
    Messages messages;
    engine->scanDlls({ { "", { (dir / "none/").string(), (dir / "a/").string() }, "present.dll", "sys", false },
        { "", { (dir / "a").string() }, "joined.dll", "sys", false }, // no separator: "<dir>/a" + "joined.dll"
        { "", {}, "nowhere.dll", "sys", false } });
    EXPECT_EQ(messages.waitFor(3), (std::vector<std::string> { "onScanDlls:present.dll:sys:true", "onScanDlls:joined.dll:sys:true",
                                       "onScanDlls:nowhere.dll:sys:false" }));
}

TEST_F(EngineTest, ThreeRepairsInOrder)
{
    test::writeFile(dir / "catalog" / "b.dll", "b");
    test::writeFile(dir / "catalog" / "c.dll", "c");
    Messages messages;
    engine->repairDlls({ dll("x.dll"), dll("b.dll"), dll("c.dll") });
    EXPECT_EQ(messages.waitFor(3),
        (std::vector<std::string> { "onRepairDlls:x.dll:sys:0", "onRepairDlls:b.dll:sys:0", "onRepairDlls:c.dll:sys:0" }));
    EXPECT_EQ(test::readFile(dir / "system" / "b.dll"), "b");
    EXPECT_EQ(engine->token(), "reference-token"); // one heartbeat, then reused
    size_t heartbeats = 0;
    for (const auto& request : server->requests())
        heartbeats += request.endpoint == "heart";
    EXPECT_EQ(heartbeats, 1u);
}

// The file's bytes come a few times a second, the last report saying all of them arrived, and all
// before the item's result.
TEST_F(EngineTest, ARepairTellsHowMuchOfItsFileHasArrived)
{
    const std::string body(3 * 1024 * 1024, 'x');
    test::writeFile(dir / "catalog" / "big.dll", body);
    std::vector<std::pair<double, double>> reports;
    const EventBus::Subscription progress = EventBus::Bus::instance().subscribe("onRepairProgress", [&](const EventBus::Message* message) {
        const auto& values = *message->values;
        ASSERT_EQ(values.size(), 3u);
        EXPECT_EQ(std::get<std::string>(values[0]), "big.dll");
        reports.emplace_back(std::get<double>(values[1]), std::get<double>(values[2]));
    });
    Messages messages;
    engine->repairDlls({ dll("big.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:big.dll:sys:0" }));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(double(body.size()), double(body.size())));
    for (size_t i = 1; i < reports.size(); ++i)
        EXPECT_LE(reports[i - 1].first, reports[i].first);
}

TEST(ProgressPacer, PassesTheFirstOnePerIntervalAndTheLast)
{
    using namespace std::chrono_literals;
    ProgressPacer pacer(200ms);
    const ProgressPacer::Clock::time_point start {};
    EXPECT_TRUE(pacer.due(10, 100, start));
    EXPECT_FALSE(pacer.due(20, 100, start + 200ms - 1ns));
    EXPECT_TRUE(pacer.due(30, 100, start + 200ms));
    EXPECT_TRUE(pacer.due(100, 100, start + 201ms)) << "the last report, however soon";
    EXPECT_FALSE(pacer.due(100, 100, start + 900ms)) << "told once";
    // An unknown total is never complete: paced like the rest.
    ProgressPacer unknown(200ms);
    EXPECT_TRUE(unknown.due(5, 0, start));
    EXPECT_FALSE(unknown.due(5, 0, start + 100ms));
}

TEST_F(EngineTest, ScanDuringARepairLetsTheCurrentItemFinish)
{
    server->setBehaviour("files", Behaviour::slow(600));
    Messages messages;
    engine->repairDlls({ dll("x.dll"), dll("x.dll"), dll("x.dll") });
    // The first item's file is on its way (the server holds it).
    ASSERT_TRUE(test::eventually([&] {
        const auto requests = server->requests();
        return std::any_of(requests.begin(), requests.end(), [](const auto& request) { return request.endpoint == "files"; });
    }));
    engine->scanDlls({ { "", {}, "a.dll", "sys", false }, { "", {}, "b.dll", "sys", false } });
    EXPECT_EQ(messages.waitFor(3),
        (std::vector<std::string> { "onRepairDlls:x.dll:sys:0", "onScanDlls:a.dll:sys:false", "onScanDlls:b.dll:sys:false" }));
    EXPECT_EQ(messages.settle(std::chrono::milliseconds(300)).size(), 3u);
}

TEST_F(EngineTest, CancelDuringAScanEndsItBeforeTheNextItem)
{
    std::vector<DllItem> items(200, DllItem { "", {}, "x.dll", "sys", false });
    Messages messages;
    engine->scanDlls(items);
    ASSERT_FALSE(messages.waitFor(1).empty()); // the scan is under way
    engine->cancelTask();
    const auto seen = messages.waitForLast("onCancelTask");
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.size(), 201u);
    EXPECT_EQ(seen.back(), "onCancelTask");
    EXPECT_TRUE(engine->cancelled());

    // A new start runs normally again.
    engine->scanDlls({ { "", {}, "after.dll", "sys", false } });
    EXPECT_EQ(messages.waitFor(seen.size() + 1).back(), "onScanDlls:after.dll:sys:false");
}

TEST_F(EngineTest, CancelWithNothingRunning)
{
    Messages messages;
    engine->cancelTask();
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onCancelTask" }));
    engine->scanDlls({});
    EXPECT_EQ(messages.settle(std::chrono::milliseconds(100)).size(), 1u); // empty input does nothing
}

TEST_F(EngineTest, NoTokenGivesNoAddress)
{
    server->setBehaviour("heart", Behaviour::answer(500, ""));
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:1:unreachable" }));
    EXPECT_NE(test::logText(dir / "main.log").find("[SystemTolvane::askDownloadAddress@"), std::string::npos);
    EXPECT_NE(test::logText(dir / "main.log").find("] token: null"), std::string::npos);
    for (const auto& request : server->requests())
        EXPECT_NE(request.endpoint, "downloadUrl");
}

// With no API server at all there is nobody to ask: not the same as a server that is down.
TEST_F(EngineTest, NoServerConfiguredIsItsOwnReason)
{
    const std::filesystem::path config = dir / "serverless-config";
    std::filesystem::create_directories(config / "tvn");
    test::writeFile(config / "tvn" / "config.ini", "[system]\nwineprefix = none\n");
    test::EnvironmentChange environment;
    environment.set("XDG_CONFIG_HOME", config.string());
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:1:noServer" }));
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(EngineTest, FailedDownloadKeepsTheOldFile)
{
    std::filesystem::create_directories(dir / "system");
    test::writeFile(dir / "system" / "x.dll", "old good copy");
    server->setBehaviour("files", Behaviour::answer(404, "gone"));
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:2:transfer" }));
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "old good copy");
}

TEST_F(EngineTest, RegistrationIsStartedWithTheQuotedPath)
{
    writeScript(dir / "bin" / "regsvr32", "printf '%s\\n' \"$@\" > '" + (dir / "regsvr32-args").string() + "'\n");
    DllItem item = dll("x.dll", true);
    item.filePath = (dir / "system dir" / "x.dll").string();
    Messages messages;
    engine->repairDlls({ item, dll("x.dll", false) });
    EXPECT_EQ(messages.waitFor(2), (std::vector<std::string> { "onRepairDlls:x.dll:sys:0", "onRepairDlls:x.dll:sys:0" }));
    for (int i = 0; i < 200 && !std::filesystem::exists(dir / "regsvr32-args"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test::readFile(dir / "regsvr32-args"), "/s\n" + item.filePath + "\n"); // the path as one argument
}

TEST_F(EngineTest, MissingRegistrationToolGives3)
{
    setenv("PATH", (dir / "bin").c_str(), 1); // no regsvr32 anywhere
    Messages messages;
    engine->repairDlls({ dll("x.dll", true) });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:3:notStarted" }));
}

TEST_F(EngineTest, InstallerExitCodeIsNotAVerdict)
{
    writeScript(dir / "catalog" / "setup.sh", "printf '%s|' \"$@\" > '" + (dir / "installer-args").string() + "'\nexit 7\n");
    Messages messages;
    engine->installSoftwares({ { "Pkg 1.0", "setup.sh", "", "/quiet \"/dir=a b\"", "" } });
    // The code is told, not taken for a failure.
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onInstallSoftwares:setup.sh:0:exitCode:7" }));
    EXPECT_EQ(test::readFile(dir / "installer-args"), "/quiet|/dir=a b|");
    // Kept in a folder of its own, closed to other users, runnable by this user alone; never beside
    // config.ini.
    const auto installers = dir / "cache" / "tvn" / "installers";
    EXPECT_TRUE(std::filesystem::exists(installers / "setup.sh"));
    EXPECT_FALSE(std::filesystem::exists(dir / "config" / "tvn" / "setup.sh"));
    EXPECT_EQ(std::filesystem::status(installers).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(installers / "setup.sh").permissions(), std::filesystem::perms::owner_all);
}

// Inside a Wine prefix, installers run under wine (a .msi through msiexec) with WINEPREFIX set;
// without wine to start, the item gets 3.
TEST_F(EngineTest, InstallersRunUnderWineInsideAPrefix)
{
    const std::filesystem::path config = dir / "prefix-config";
    std::filesystem::create_directories(config / "tvn");
    std::filesystem::create_directories(dir / "prefix" / "drive_c");
    test::writeFile(config / "tvn" / "config.ini",
        "[system]\nwineprefix = " + (dir / "prefix").string() + "\n[server]\napi = " + server->address() + "\nca = " + server->authorityFile().string() + "\n");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1); // read afresh: another folder
    test::writeFile(dir / "catalog" / "setup.msi", "msi");
    test::writeFile(dir / "catalog" / "setup.exe", "exe");
    writeScript(dir / "bin" / "wine", "printf '%s|%s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (dir / "wine-calls").string() + "'\n");
    Messages messages;
    engine->installSoftwares({ { "A 1.0", "setup.msi", "", "/qn", "" }, { "B 1.0", "setup.exe", "", "/S \"x y\"", "" } });
    EXPECT_EQ(messages.waitFor(2), (std::vector<std::string> { "onInstallSoftwares:setup.msi:0", "onInstallSoftwares:setup.exe:0" }));
    const std::string folder = (dir / "cache" / "tvn" / "installers").string();
    EXPECT_EQ(test::readFile(dir / "wine-calls"), (dir / "prefix").string() + "|msiexec /i " + folder + "/setup.msi /qn\n" + (dir / "prefix").string() + "|"
                                                   + folder + "/setup.exe /S x y\n");

    std::filesystem::remove(dir / "bin" / "wine");
    const std::string path = std::getenv("PATH");
    setenv("PATH", (dir / "bin").c_str(), 1); // no wine anywhere
    engine->installSoftwares({ { "A 1.0", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(3).back(), "onInstallSoftwares:setup.exe:3:notStarted");
    setenv("PATH", path.c_str(), 1);
}

// A Steam prefix runs under the Proton build that made it, not the wine on PATH.
TEST_F(EngineTest, InstallersInAProtonPrefixRunUnderItsProton)
{
    const std::filesystem::path home = dir / "home";
    const std::filesystem::path compat = home / ".local" / "share" / "Steam" / "steamapps" / "compatdata" / "620";
    const std::filesystem::path proton = dir / "Proton 9.0";
    std::filesystem::create_directories(compat / "pfx" / "drive_c");
    test::writeFile(compat / "pfx" / "system.reg", "#arch=win64\n");
    test::writeFile(compat / "config_info", "9.0-1\n" + (proton / "files" / "share" / "fonts").string() + "/\n");
    std::filesystem::create_directories(proton / "files" / "bin");
    writeScript(proton / "files" / "bin" / "wine", "printf 'proton|%s|%s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (dir / "wine-calls").string() + "'\n");
    writeScript(dir / "bin" / "wine", "echo path-wine >> '" + (dir / "wine-calls").string() + "'\n");
    const std::filesystem::path config = dir / "proton-config";
    std::filesystem::create_directories(config / "tvn");
    test::writeFile(config / "tvn" / "config.ini", "[system]\nwineprefix = " + (compat / "pfx").string() + "\n[server]\napi = " + server->address()
            + "\nca = " + server->authorityFile().string() + "\n");
    test::EnvironmentChange environment;
    environment.set("HOME", home.string());
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    test::writeFile(dir / "catalog" / "setup.exe", "exe");
    Messages messages;
    engine->installSoftwares({ { "B 1.0", "setup.exe", "", "/S", "" } });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onInstallSoftwares:setup.exe:0" }));
    EXPECT_EQ(test::readFile(dir / "wine-calls"), "proton|" + (compat / "pfx").string() + "|" + (dir / "cache" / "tvn" / "installers" / "setup.exe").string() + " /S\n");
}

// Wine writes a prefix's registry when its wineserver ends: a scan after an install or a
// registration in the prefix waits for that wineserver first, and only once per change.
TEST_F(EngineTest, AScanAfterAChangeInAPrefixWaitsForItsWineserver)
{
    const std::filesystem::path prefix = dir / "prefix";
    test::makeWinePrefix(prefix, "win64");
    const std::filesystem::path config = dir / "prefix-config";
    std::filesystem::create_directories(config / "tvn");
    test::writeFile(config / "tvn" / "config.ini",
        "[system]\nwineprefix = " + prefix.string() + "\n[server]\napi = " + server->address() + "\nca = " + server->authorityFile().string() + "\n");
    test::EnvironmentChange environment;
    environment.set("XDG_CONFIG_HOME", config.string());
    test::writeFile(dir / "catalog" / "setup.exe", "exe");
    test::writeFile(dir / "catalog" / "x.dll", "dll");
    writeScript(dir / "bin" / "wine", "exit 0\n");
    writeScript(dir / "bin" / "regsvr32", "exit 0\n");
    Messages messages;
    // A scan first: whatever an earlier test in this process changed is flushed now.
    engine->scanSoftwares({ { "B 1.0.3", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(1).back(), "onScanSoftwares:setup.exe:false");
    // The wineserver's end is when the installer's key reaches system.reg.
    writeScript(dir / "bin" / "wineserver", "printf '%s|%s\\n' \"$WINEPREFIX\" \"$*\" >> '" + (dir / "wineserver-calls").string() + "'\n"
        + R"(cat >> "$WINEPREFIX/system.reg" <<'KEY'
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\B] 1
"DisplayName"="B 1.0.3"
KEY
)");
    engine->scanSoftwares({ { "B 1.0.3", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(2).back(), "onScanSoftwares:setup.exe:false");
    EXPECT_FALSE(std::filesystem::exists(dir / "wineserver-calls")); // nothing changed since: no wait

    engine->installSoftwares({ { "B 1.0.3", "setup.exe", "", "/S", "" } });
    EXPECT_EQ(messages.waitFor(3).back(), "onInstallSoftwares:setup.exe:0");
    engine->scanSoftwares({ { "B 1.0.3", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(4).back(), "onScanSoftwares:setup.exe:true");
    engine->scanSoftwares({ { "B 1.0.3", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(5).back(), "onScanSoftwares:setup.exe:true");
    // One wait before the installer (the history keeps the registry as the wineserver leaves it),
    // one for the first scan after it.
    const std::string wait = prefix.string() + "|-w\n";
    EXPECT_EQ(test::readFile(dir / "wineserver-calls"), wait + wait);

    // A registration through the prefix's regsvr32 is a change too.
    DllItem item = dll("x.dll", true);
    item.filePath = "C:\\windows\\system32\\x.dll";
    engine->repairDlls({ item });
    EXPECT_EQ(messages.waitFor(6).back(), "onRepairDlls:x.dll:sys:0");
    engine->scanSoftwares({ { "B 1.0.3", "setup.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(7).back(), "onScanSoftwares:setup.exe:true");
    EXPECT_EQ(test::readFile(dir / "wineserver-calls"), wait + wait + wait + wait);
}

TEST_F(EngineTest, CancelWhileAnInstallerRunsGives3AndLeavesItRunning)
{
    const auto pidFile = dir / "installer-pid";
    writeScript(dir / "catalog" / "forever.sh", "exec >/dev/null 2>&1\necho $$ > '" + pidFile.string() + "'\nexec sleep 30\n");
    Messages messages;
    engine->installSoftwares({ { "Pkg 1.0", "forever.sh", "", "", "" } });
    for (int i = 0; i < 500 && !std::filesystem::exists(pidFile); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    engine->cancelTask();
    EXPECT_EQ(messages.waitFor(2), (std::vector<std::string> { "onInstallSoftwares:forever.sh:3:cancelled", "onCancelTask" }));
    const pid_t installer = std::atoi(test::readFile(pidFile).c_str());
    ASSERT_GT(installer, 0);
    EXPECT_EQ(kill(installer, 0), 0); // still running
    kill(installer, SIGKILL);
}

TEST_F(EngineTest, SoftwareScanReadsTheUninstallKeyAndPackages)
{
    auto& store = platform::registryStore();
    const std::string uninstall(platform::kUninstallKey);
    platform::regWriteString(store, platform::RegistryRoot::LocalMachine, uninstall + "\\{A}", "DisplayName", "Runtime 2019 x64 - 14.28.29913");
    platform::regWriteString(store, platform::RegistryRoot::LocalMachine, uninstall + "\\{B}", "DisplayName", std::string(130, 'L'));
    test::writeFile(dir / "dpkg-status", "Package: libexample\nStatus: install ok installed\nVersion: 3.1.4\n");
    platform::setDpkgStatusFile(dir / "dpkg-status");

    Messages messages;
    engine->oneKeyScan({}, { { "Runtime 2019 x64 - 14.28.30000", "vc.exe", "", "", "" }, { "libexample 3.1.9", "ex.deb", "", "", "" },
                              { std::string(130, 'L') + ".1", "long.exe", "", "", "" }, { "Absent 1.0", "absent.exe", "", "", "" } });
    EXPECT_EQ(messages.waitFor(4), (std::vector<std::string> { "onScanSoftwares:vc.exe:true", "onScanSoftwares:ex.deb:true",
                                       "onScanSoftwares:long.exe:false", "onScanSoftwares:absent.exe:false" }));
}

// An address over plain http is not used: nothing would tell its file from anyone else's.
TEST_F(EngineTest, PlainHttpAddressIsNotUsed)
{
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"code":0,"data":{"url":"http://127.0.0.1:9/x.dll"}})"));
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:2:refused" }));
    EXPECT_FALSE(std::filesystem::exists(dir / "system" / "x.dll"));
    EXPECT_NE(test::logText(dir / "main.log").find("] download address refused, no digest and not https: 127.0.0.1"), std::string::npos);

    // Over https without a digest, from a host that is neither the API server's nor configured.
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"code":0,"data":{"url":"https://localhost:)" + std::to_string(server->port()) + R"(/files/x.dll"}})"));
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(2).back(), "onRepairDlls:x.dll:sys:2:refused");
    EXPECT_FALSE(std::filesystem::exists(dir / "system" / "x.dll"));
    EXPECT_NE(test::logText(dir / "main.log").find("] download address refused, no digest and host not trusted: localhost"), std::string::npos);
}

// Each source is judged on its own: a mirror that may be used stands in for a url that may not, and
// the server's mirrors are tried when its url serves another file.
TEST_F(EngineTest, MirrorsStandInForSourcesThatFail)
{
    const std::string own = "https://" + server->address() + "/files/x.dll";
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"code":0,"data":{"url":"http://127.0.0.1:9/x.dll","mirrors":[")" + own + R"("]}})"));
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:0" }));
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");

    std::filesystem::remove(dir / "system" / "x.dll");
    std::filesystem::remove_all(dir / "cache");
    server->setBehaviour("downloadUrl", Behaviour {});
    server->setMirrors(1);
    server->setBehaviour("files", Behaviour::corrupt());
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(2).back(), "onRepairDlls:x.dll:sys:0");
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");
    EXPECT_NE(test::logText(dir / "main.log").find("] download digest mismatch: " + own), std::string::npos);
}

// A repair start is a run in the history: its undo brings back the library it replaced and removes
// the one it created; an item that failed made no change and fails the run.
TEST_F(EngineTest, ARepairRunIsInTheHistoryAndIsUndone)
{
    test::writeFile(dir / "catalog" / "y.dll", "MZ y");
    std::filesystem::create_directories(dir / "system");
    test::writeFile(dir / "system" / "x.dll", "the old x");
    Messages messages;
    engine->repairDlls({ dll("x.dll"), dll("y.dll"), dll("unknown.dll") });
    EXPECT_EQ(messages.waitFor(3).back(), "onRepairDlls:unknown.dll:sys:1:noAddress");
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");
    const History history = History::user();
    ASSERT_TRUE(test::eventually([&] { return !history.runs().empty() && history.runs()[0].closed(); }));
    const RunRecord run = history.runs()[0];
    EXPECT_EQ(run.state, "failed");
    EXPECT_EQ(run.items.size(), 3u);
    EXPECT_EQ(run.changedCount(), 2u);

    const History::UndoResult undone = history.undo(run.id, endPrefixPrograms);
    EXPECT_TRUE(undone.ok) << undone.error;
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "the old x");
    EXPECT_FALSE(std::filesystem::exists(dir / "system" / "y.dll"));
    EXPECT_EQ(history.runs()[0].state, "undone");
}

// A digest in the answer is checked before the file replaces anything: a wrong one fails the item
// and leaves the old file; a malformed one is not trusted at all.
TEST_F(EngineTest, DigestIsCheckedBeforeTheFileIsReplaced)
{
    std::filesystem::create_directories(dir / "system");
    test::writeFile(dir / "system" / "x.dll", "old");
    server->setBehaviour("downloadUrl", Behaviour::wrongDigest());
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:2:badDigest" }));
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "old");
    EXPECT_NE(test::logText(dir / "main.log").find("] download digest mismatch: "), std::string::npos);

    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"code":0,"data":{"url":"https://)" + server->address() + R"(/files/x.dll","sha256":"abc"}})"));
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(2).back(), "onRepairDlls:x.dll:sys:1:noAddress");

    server->setBehaviour("downloadUrl", Behaviour());
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(3).back(), "onRepairDlls:x.dll:sys:0");
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");
}

// Plain http is used when a digest proves the file.
TEST_F(EngineTest, PlainHttpWithADigestIsUsed)
{
    test::PageServer plain;
    plain.addPage("x.dll", "MZ library bytes");
    server->setBehaviour("downloadUrl", Behaviour::answer(200, nlohmann::json { { "code", 0 }, { "data", { { "url", plain.url() + "/x.dll" },
                                                                    { "sha256", sha256Hex("MZ library bytes") } } } }.dump()));
    Messages messages;
    engine->repairDlls({ dll("x.dll") });
    EXPECT_EQ(messages.waitFor(1), (std::vector<std::string> { "onRepairDlls:x.dll:sys:0" }));
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");
}

// A software item's file name becomes a path and a program: one that is not a plain name fails
// before anything is asked for, downloaded or run.
TEST_F(EngineTest, InstallerNameMustBeAPlainFileName)
{
    EXPECT_TRUE(isPlainFileName("setup 1.0.exe"));
    for (const char* name : { "", ".", "..", "../setup.sh", "a/b", "..\\setup.exe", "/bin/sh" })
        EXPECT_FALSE(isPlainFileName(name)) << name;

    writeScript(dir / "catalog" / "setup.sh", "touch '" + (dir / "ran").string() + "'\n");
    Messages messages;
    engine->installSoftwares({ { "Pkg 1.0", "../catalog/setup.sh", "", "", "" }, { "Pkg 1.0", "setup.sh", "", "", "" } });
    EXPECT_EQ(messages.waitFor(2), (std::vector<std::string> { "onInstallSoftwares:../catalog/setup.sh:2:refused", "onInstallSoftwares:setup.sh:0" }));
    size_t asked = 0;
    for (const auto& request : server->requests())
        asked += request.endpoint == "downloadUrl";
    EXPECT_EQ(asked, 1u); // only for the plain name
}

// A cancel ends the work asked before it, never a start asked right after it: every item of the
// new list gets its message, after "onCancelTask".
TEST_F(EngineTest, CancelThenStartAtOnce)
{
    server->setBehaviour("files", Behaviour::slow(300));
    Messages messages;
    engine->repairDlls({ dll("x.dll"), dll("x.dll"), dll("x.dll") });
    engine->cancelTask();
    engine->scanDlls({ { "", {}, "a.dll", "sys", false }, { "", {}, "b.dll", "sys", false }, { "", {}, "c.dll", "sys", false } });
    const auto seen = messages.waitForLast("onScanDlls:c.dll:sys:false");
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(seen.end() - 4, seen.end()),
        (std::vector<std::string> { "onCancelTask", "onScanDlls:a.dll:sys:false", "onScanDlls:b.dll:sys:false", "onScanDlls:c.dll:sys:false" }));
    EXPECT_LE(seen.size(), 5u); // at most the one repair that was running, cut short
    EXPECT_FALSE(engine->cancelled());
}

// A start while an installer runs on and on returns at once; its work follows when the installer
// has ended.
TEST_F(EngineTest, StartDuringANeverEndingInstallerReturnsAtOnce)
{
    const auto pidFile = dir / "installer-pid";
    writeScript(dir / "catalog" / "forever.sh", "exec >/dev/null 2>&1\necho $$ > '" + pidFile.string() + "'\nexec sleep 600\n");
    Messages messages;
    engine->installSoftwares({ { "Pkg 1.0", "forever.sh", "", "", "" } });
    for (int i = 0; i < 500 && test::readFile(pidFile).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const pid_t installer = std::atoi(test::readFile(pidFile).c_str());
    ASSERT_GT(installer, 0);

    engine->scanDlls({ { "", {}, "a.dll", "sys", false } }); // returns while the installer still runs
    EXPECT_EQ(kill(installer, 0), 0);
    EXPECT_TRUE(messages.settle(std::chrono::milliseconds(200)).empty());

    kill(installer, SIGKILL);
    EXPECT_EQ(messages.waitFor(2), (std::vector<std::string> { "onInstallSoftwares:forever.sh:0:exitCode:137", "onScanDlls:a.dll:sys:false" }));
}
