// The http and biz_repair modules in a standalone JavaScriptCore context, with the engine and the
// downloads against the reference server: item reading, argument checks, events in order, the
// heartbeat chains and the token; download events, cancel, digests and failures.
#include "core/EventBus.h"
#include "core/GlobalConfig.h"
#include "core/Logging.h"
#include "repair/HeartbeatChain.h"
#include "modules/ModuleBizRepair.h"
#include "modules/ModuleHandler.h"
#include "modules/PageThreads.h"
#include "net/Download.h"
#include "repair/SystemTolvane.h"
#include "tests/support/LogFile.h"
#include "tests/support/Script.h"
#include "tests/support/ServerFixture.h"

#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tvn;
using server::Behaviour;

namespace {

class RepairModules : public test::ServerFixture {
protected:
    void SetUp() override
    {
        test::ServerFixture::SetUp();
        log::initialize({ dir / "main.log", log::Severity::Info });
        std::filesystem::create_directories(dir / "system");
        test::writeFile(dir / "system" / "present.dll", "here");
        test::writeFile(dir / "catalog" / "big.bin", std::string(3 << 20, 'b'));
        engine = std::make_unique<SystemTolvane>();
        SystemTolvane::setCurrent(engine.get());
        ModuleHandler::install(context.get(), 1, 1);
        run("var out = []; function record(e) { out.push(e === undefined ? 'none' : JSON.stringify(e)); }");
    }
    void TearDown() override
    {
        stopHeartbeatChains();
        PageThreads::current().stopAll();
        engine.reset();
        pumpFor(std::chrono::milliseconds(50));
        test::ServerFixture::TearDown();
    }

    std::string run(const std::string& code) { return test::runScript(context.get(), code); }

    // Runs the bus and the main loop (the web process's main thread) until `condition`.
    template<typename Condition>
    bool pumpUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            EventBus::Bus::instance().queue().run();
            while (g_main_context_iteration(nullptr, FALSE)) { }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    void pumpFor(std::chrono::milliseconds time)
    {
        const auto end = std::chrono::steady_clock::now() + time;
        pumpUntil([end] { return std::chrono::steady_clock::now() > end; }, time + std::chrono::seconds(1));
    }
    bool outHas(size_t count)
    {
        return pumpUntil([&] { return run("out.length") == std::to_string(count); });
    }
    std::string dllList(const std::vector<std::string>& names) const
    {
        nlohmann::json list = nlohmann::json::array();
        for (const std::string& name : names)
            list.push_back({ { "filePath", (dir / "system" / name).string() }, { "checkPath", { (dir / "system").string() + "/" } }, { "fileName", name }, { "fileType", "sys" } });
        return list.dump();
    }
    // A configuration folder of its own (read afresh) with `extra` added to the server section.
    void useConfigWith(const std::string& extra)
    {
        const std::filesystem::path folder = dir / ("config-" + std::to_string(++m_configs));
        std::filesystem::create_directories(folder / "tvn");
        test::writeFile(folder / "tvn" / "config.ini", test::readFile(dir / "config" / "tvn" / "config.ini") + extra);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    size_t heartRequests() const
    {
        size_t count = 0;
        for (const auto& request : server->requests())
            count += request.endpoint == "heart";
        return count;
    }

    std::unique_ptr<SystemTolvane> engine;
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());

private:
    int m_configs = 0;
};

} // namespace

TEST_F(RepairModules, ItemsAreReadByTheRules)
{
    const ScriptValue dlls = ScriptValue::adopt(jsc_context_evaluate(context.get(),
        "[{ fileName: 'no-path.dll' }, { filePath: '/x/a.dll', checkPath: ['/x/', 5], fileName: 'a.dll', fileType: 7, needReg: 'yes' },"
        " 'not an object', { filePath: '/x/b.dll', checkPath: '/x/', needReg: true }]", -1));
    const std::optional<std::vector<DllItem>> read = readDllItems(dlls.get());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].checkPath, (std::vector<std::string> { "/x/", "" }));
    EXPECT_EQ((*read)[0].fileType, "");
    EXPECT_FALSE((*read)[0].needReg);
    EXPECT_TRUE((*read)[1].checkPath.empty());
    EXPECT_TRUE((*read)[1].needReg);

    const ScriptValue softwares = ScriptValue::adopt(jsc_context_evaluate(context.get(), "[{}, { displayName: 'Runtime', fileName: 'setup.exe', cmdParam: '/q', regPath: 'r' }]", -1));
    const std::optional<std::vector<SoftwareItem>> software = readSoftwareItems(softwares.get());
    ASSERT_TRUE(software);
    ASSERT_EQ(software->size(), 2u); // an element with no keys is passed on, all empty
    EXPECT_EQ((*software)[1].cmdParam, "/q");
    EXPECT_EQ((*software)[1].fileType, "");
    EXPECT_FALSE(readDllItems(ScriptValue::adopt(jsc_value_new_object(context.get(), nullptr, nullptr)).get()));
}

TEST_F(RepairModules, ScanEventsInOrderAndArgumentChecks)
{
    run("var repair = module('biz_repair')");
    EXPECT_EQ(run("repair.scanDlls([], record)"), "undefined");
    for (const char* wrong : { "repair.scanDlls([])", "repair.scanDlls([], 5)", "repair.scanDlls({}, record)", "repair.cancelTask()", "repair.oneKeyScan([])",
             "repair.downloadFile('x')", "repair.installSoftwares([], record, 1)" })
        EXPECT_EQ(run(wrong), "!Invalid arguments") << wrong;

    // A throwing callback does not stop later events; wrong calls left the slot as it was.
    run("var calls = 0; repair.scanDlls(" + dllList({ "missing.dll", "present.dll", "other.dll" })
        + ", function (e) { record(e); if (++calls === 1) throw new Error('the page failed'); })");
    run("repair.scanDlls([], 5)");
    ASSERT_TRUE(outHas(3));
    EXPECT_EQ(run("out.join('|')"), R"({"fileName":"missing.dll","fileType":"sys","isExist":false}|)"
                                    R"({"fileName":"present.dll","fileType":"sys","isExist":true}|)"
                                    R"({"fileName":"other.dll","fileType":"sys","isExist":false})");
    EXPECT_NE(test::logText(dir / "main.log").find("script callback threw"), std::string::npos);
}

TEST_F(RepairModules, OneKeyScanUsesOnlyFilledSlots)
{
    run("var repair = module('biz_repair'); repair.scanSoftwares([], record)");
    run("repair.oneKeyScan(" + dllList({ "present.dll" }) + ", [{ displayName: 'Nothing Such.1', fileName: 'n.exe' }])");
    ASSERT_TRUE(outHas(1));
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(run("out.join('|')"), R"({"fileName":"n.exe","isInstall":false})"); // no onScanDlls: its slot is empty
}

// After its code an event may carry the reason (and an install the installer's exit code); a value
// of another kind in those places is no event at all. The same for a file's progress.
TEST_F(RepairModules, RepairEventsCarryTheirReasonsAndProgress)
{
    run("var repair = module('biz_repair'); repair.repairDlls([], record); repair.installSoftwares([], record); repair.onProgress(record)");
    EXPECT_EQ(run("repair.onProgress(5)"), "!Invalid arguments");
    EventBus::Bus& bus = EventBus::Bus::instance();
    bus.publish("onRepairDlls", { std::string("a.dll"), std::string("sys"), int32_t(2), std::string("badDigest") });
    bus.publish("onRepairDlls", { std::string("b.dll"), std::string("sys"), int32_t(2), int32_t(7) });
    bus.publish("onInstallSoftwares", { std::string("s.exe"), int32_t(0), std::string("exitCode"), int32_t(3010) });
    bus.publish("onInstallSoftwares", { std::string("t.exe"), int32_t(0) });
    bus.publish("onInstallSoftwares", { std::string("u.exe"), int32_t(0), std::string("exitCode"), std::string("3010") });
    bus.publish("onRepairProgress", { std::string("big.dll"), 5e9, 6e9 }); // past 4 GiB
    bus.publish("onRepairProgress", { std::string("big.dll"), int32_t(5), 6e9 });
    ASSERT_TRUE(outHas(4));
    pumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(run("out.join('|')"), R"({"fileName":"a.dll","fileType":"sys","errorCode":2,"reason":"badDigest"}|)"
                                    R"({"fileName":"s.exe","errorCode":0,"reason":"exitCode","exitCode":3010}|)"
                                    R"({"fileName":"t.exe","errorCode":0,"reason":""}|)"
                                    R"({"fileName":"big.dll","current":5000000000,"total":6000000000})");
}

TEST_F(RepairModules, RepairsAndHeartbeatChains)
{
    useConfigWith("heartbeat = 150\n");
    ASSERT_EQ(heartbeatIntervalMs(), 150);
    test::writeFile(dir / "catalog" / "a.dll", "library a");
    run("var repair = module('biz_repair')");
    run("repair.repairDlls(" + dllList({ "a.dll" }) + ", record); repair.repairDlls(" + dllList({ "x.dll" }) + ", record)");
    // The second start replaces the first's work (a running item still reports).
    ASSERT_TRUE(pumpUntil([&] { return run("out.length > 0 && out[out.length - 1]") == R"({"fileName":"x.dll","fileType":"sys","errorCode":0,"reason":""})"; }));
    EXPECT_EQ(test::readFile(dir / "system" / "x.dll"), "MZ library bytes");

    // One chain for the process however many repairs ask: held once by each module that repaired.
    EXPECT_EQ(heartbeatChainHolds(), 1);
    const size_t before = heartRequests();
    ASSERT_TRUE(pumpUntil([&] { return heartRequests() >= before + 2; }, std::chrono::seconds(10)));
    run("var other = module('biz_repair'); other.installSoftwares([], record); other.repairDlls([], record)");
    EXPECT_EQ(heartbeatChainHolds(), 2);
    stopHeartbeatChains();
}

// The token subscriber stores what the bus carries, also an empty one. (No repair here: a chain's
// heartbeat still on its way would publish a token of its own in between.)
TEST_F(RepairModules, TheTokenComesFromTheBus)
{
    run("var repair = module('biz_repair')");
    EventBus::Bus::instance().publish("HTTP_GetDownloadToken", { std::string("new-token") });
    ASSERT_TRUE(pumpUntil([&] { return engine->token() == "new-token"; }));
    EventBus::Bus::instance().publish("HTTP_GetDownloadToken", { std::string() });
    ASSERT_TRUE(pumpUntil([&] { return engine->token().empty(); }));
}

// A heartbeat that never comes back holds no timer of the page's main loop.
TEST_F(RepairModules, SilentServerFreezesNothing)
{
    useConfigWith("heartbeat = 50\n");
    server->setBehaviour("heart", Behaviour::never());
    const HeartbeatHold chain = holdHeartbeatChain();
    int ticks = 0;
    const guint timer = g_timeout_add(10, [](gpointer data) -> gboolean { ++*static_cast<int*>(data); return G_SOURCE_CONTINUE; }, &ticks);
    ASSERT_TRUE(pumpUntil([&] { return heartRequests() >= 1; }));
    const int atRequest = ticks;
    pumpFor(std::chrono::milliseconds(300));
    EXPECT_GE(ticks - atRequest, 10); // the page's timers went on while the heartbeat was out
    g_source_remove(timer);
    server->stop(); // releases the held heartbeat
}

// The chain stops when its last hold goes: the beat in flight may still come, then no more.
TEST_F(RepairModules, HeartbeatChainEndsWithItsLastHold)
{
    useConfigWith("heartbeat = 30\n");
    HeartbeatHold first = holdHeartbeatChain();
    HeartbeatHold second = holdHeartbeatChain();
    EXPECT_EQ(first, second);
    EXPECT_EQ(heartbeatChainHolds(), 2);
    ASSERT_TRUE(pumpUntil([&] { return heartRequests() >= 2; }));
    first.reset();
    const size_t held = heartRequests();
    ASSERT_TRUE(pumpUntil([&] { return heartRequests() >= held + 1; })); // still beating for the second
    second.reset();
    EXPECT_EQ(heartbeatChainHolds(), 0);
    pumpFor(std::chrono::milliseconds(100)); // a beat already on its way
    const size_t ended = heartRequests();
    pumpFor(std::chrono::milliseconds(300)); // ten intervals
    EXPECT_EQ(heartRequests(), ended);

    // A new hold starts a new chain.
    const HeartbeatHold again = holdHeartbeatChain();
    ASSERT_TRUE(pumpUntil([&] { return heartRequests() > ended; }));
}

TEST_F(RepairModules, DownloadEvents)
{
    const std::string url = "https://" + server->address() + "/files/big.bin";
    const std::string target = (dir / "new" / "folder" / "big.bin").string();
    run("var events = []; var d = module('http').download({ url: '" + url + "', path: '" + target + "', progress: function (e) { events.push(e); } })");
    ASSERT_TRUE(pumpUntil([&] { return run("events.length > 0 && events[events.length - 1].complete") == "true"; }));
    EXPECT_EQ(run("JSON.stringify(events[0])"), R"({"complete":false,"error":0,"current":0,"total":100})");
    EXPECT_EQ(run("JSON.stringify(events[events.length - 1])"), R"({"complete":true,"error":0,"current":0,"total":0})");
    EXPECT_EQ(run("events.slice(1, -1).some(function (e) { return e.current === 3145728 && e.total === 3145728; })"), "true");
    EXPECT_EQ(run("events.slice(1, -1).every(function (e, i, all) { return i === 0 || e.current >= all[i - 1].current; })"), "true");
    EXPECT_EQ(std::filesystem::file_size(target), 3u << 20);

    // A 404, and an address nobody listens at: the final event carries the error.
    run("var failures = []; module('http').download({ url: 'https://" + server->address() + "/files/none.bin', path: '" + (dir / "none.bin").string()
        + "', progress: function (e) { if (e.complete) failures.push(e.error); } });"
          "module('http').download({ url: 'https://127.0.0.1:9/x', path: '" + (dir / "x.bin").string() + "', progress: function (e) { if (e.complete) failures.push(e.error); } })");
    ASSERT_TRUE(pumpUntil([&] { return run("failures.length") == "2"; }));
    EXPECT_EQ(run("failures.sort().join()"), std::to_string(static_cast<uint32_t>(kDownloadCannotConnect)) + "," + std::to_string(static_cast<uint32_t>(kDownloadFailed)));
}

TEST_F(RepairModules, CancelSilencesEverythingAfter)
{
    server->setBehaviour("files", Behaviour::never());
    run("var events = []; var d = module('http').download({ url: 'https://" + server->address() + "/files/big.bin', path: '" + (dir / "c.bin").string()
        + "', progress: function (e) { events.push(e); } }); d.cancel()");
    // The transfer notices at its next progress report; the thread ends after its last post.
    ASSERT_TRUE(pumpUntil([] { return PageThreads::current().running() == 0; }));
    EXPECT_EQ(run("events.length"), "0");
    EXPECT_FALSE(std::filesystem::exists(dir / "c.bin"));
    server->stop();
}

TEST_F(RepairModules, DownloadFileVerifiesTheDigestAndKeepsTheUsersFiles)
{
    const auto downloads = dir / "Downloads"; // the fixture's user-dirs.dirs names it; made by the download
    EXPECT_EQ(run("module('biz_repair').downloadFolder"), downloads.string());
    server->setBehaviour("downloadUrl", Behaviour::wrongDigest());
    run("var result = module('biz_repair').downloadFile({ fileName: 'x.dll', progress: record })");
    EXPECT_EQ(run("result.downloadPath"), (downloads / "x.dll").string());
    ASSERT_TRUE(pumpUntil([&] { return run("out.length > 0 && JSON.parse(out[out.length - 1]).complete") == "true"; }));
    EXPECT_EQ(run("JSON.parse(out[out.length - 1]).error"), std::to_string(static_cast<uint32_t>(kDownloadBadDigest)));
    EXPECT_FALSE(std::filesystem::exists(downloads / "x.dll"));
    for (const auto& request : server->requests()) {
        if (request.endpoint == "downloadUrl") {
            EXPECT_EQ(request.query.at("fileType"), ""); // only fileName given
        }
    }

    // A file of that name already there is the user's: the download takes another name.
    test::writeFile(downloads / "x.dll", "the user's");
    server->setBehaviour("downloadUrl", Behaviour());
    run("out = []; result = module('biz_repair').downloadFile({ fileName: 'x.dll', fileType: 'sys', progress: record })");
    EXPECT_EQ(run("result.downloadPath"), (downloads / "x (1).dll").string());
    ASSERT_TRUE(pumpUntil([&] { return run("out.length > 0 && JSON.parse(out[out.length - 1]).complete") == "true"; }));
    EXPECT_EQ(test::readFile(downloads / "x (1).dll"), "MZ library bytes");
    EXPECT_EQ(test::readFile(downloads / "x.dll"), "the user's");
    EXPECT_EQ(run("module('biz_repair').downloadFile({ fileName: '../escape.dll' })"), "!Invalid arguments");

    // Once more: copied from the download cache, which the last event says.
    const auto fileRequests = [&] {
        const auto requests = server->requests();
        return std::count_if(requests.begin(), requests.end(), [](const auto& request) { return request.endpoint == "files"; });
    };
    const auto fetched = fileRequests();
    run("out = []; result = module('biz_repair').downloadFile({ fileName: 'x.dll', fileType: 'sys', progress: record })");
    ASSERT_TRUE(pumpUntil([&] { return run("out.length > 0 && JSON.parse(out[out.length - 1]).complete") == "true"; }));
    EXPECT_EQ(run("JSON.parse(out[out.length - 1]).cached"), "true");
    EXPECT_EQ(test::readFile(downloads / "x (2).dll"), "MZ library bytes");
    EXPECT_EQ(fileRequests(), fetched);

    // A file the server has no address for: the download ends with kDownloadNoAddress.
    run("out = []; module('biz_repair').downloadFile({ fileName: 'unknown.dll', progress: record })");
    ASSERT_TRUE(pumpUntil([&] { return run("out.length > 0 && JSON.parse(out[out.length - 1]).complete") == "true"; }));
    EXPECT_EQ(run("JSON.parse(out[out.length - 1]).error"), std::to_string(static_cast<uint32_t>(kDownloadNoAddress)));
    EXPECT_FALSE(std::filesystem::exists(downloads / "unknown.dll"));
}

// The address is asked on the download's thread: a server that never answers holds no call of
// the page's.
TEST_F(RepairModules, DownloadFileNeverWaitsForTheServerOnThePagesThread)
{
    server->setBehaviour("downloadUrl", Behaviour::never());
    EXPECT_EQ(run("var asked = module('biz_repair').downloadFile({ fileName: 'x.dll', progress: record }); typeof asked.downloadThread.cancel"),
        "function");
    run("asked.downloadThread.cancel()");
    server->stop(); // the question ends unanswered; nothing follows a cancel
    EXPECT_EQ(run("out.filter(function (e) { return JSON.parse(e).complete; }).length"), "0");
}

// What the web extension does when a page reloads: the page's threads are stopped and joined, then
// its script context goes. An exec whose child never ends, a download whose server never answers and
// a listing of a large tree (/usr, tens of thousands of entries) are all under way; none may outlive
// the page (the ASan and TSan runs check that nothing is touched afterwards).
TEST_F(RepairModules, AReloadEndsThePagesExecDownloadAndListing)
{
    server->setBehaviour("files", Behaviour::never());
    run("var execOut = [], events = [], listed = 0;"
        "module('sys').exec({ command: \"sh -c 'echo started; exec sleep 600'\", stream: true,"
        " callback: function (done, text, data, status) { execOut.push(done ? 'done:' + status : text); } });"
        "module('http').download({ url: 'https://"
        + server->address() + "/files/big.bin', path: '" + (dir / "big.bin").string()
        + "', progress: function (e) { events.push(e); } });"
          "module('file').listDir({ path: '/usr', recursive: true, callback: function (end) { ++listed; } })");
    ASSERT_TRUE(pumpUntil([&] { return run("execOut.length > 0 && events.length > 0") == "true"; }));
    EXPECT_EQ(PageThreads::current().running(), 3u);

    PageThreads::current().stopPage(1);
    EXPECT_EQ(PageThreads::current().running(), 0u);
    // The child was ended with its thread: the last call reports the kill.
    ASSERT_TRUE(pumpUntil([&] { return run("execOut[execOut.length - 1]") == "done:" + std::to_string(128 + SIGKILL); }));
    EXPECT_FALSE(std::filesystem::exists(dir / "big.bin"));
    context = {}; // the page's script context goes; what was posted for it runs or is dropped
    pumpFor(std::chrono::milliseconds(100));
    server->stop();
}
