// The sys module in a standalone JavaScriptCore context: its window requests answered by the test,
// its configuration in a scratch folder, its children real processes.
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "core/TaskQueue.h"
#include "identity/DeviceInfoCipher.h"
#include "window/MessageBox.h"
#include "modules/CallBridge.h"
#include "modules/ExecTask.h"
#include "modules/ModuleHandler.h"
#include "modules/PageThreads.h"
#include "modules/WindowRequest.h"
#include "tests/support/Environment.h"
#include "tests/support/MainLoop.h"
#include "tests/support/Script.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

using namespace tvn;

namespace {

class SysModule : public testing::Test {
protected:
    void SetUp() override
    {
        environment.set("XDG_CONFIG_HOME", dir.path().string());
        environment.unset("APPDATA");
        // Children start in the application folder: it must exist.
        setModulePath(std::filesystem::read_symlink("/proc/self/exe"));
        CallBridge::setCurrent(&bridge);
        ModuleHandler::install(context.get(), 7, 3);
        setMainWindowLink(0x600001, [this](const std::string& line) -> std::optional<std::string> {
            nlohmann::json request = nlohmann::json::parse(line);
            request.erase("window");
            requests.push_back(request);
            return answer ? answer(request) : std::optional<std::string>(R"({"ok":true})");
        });
        run("var sys = module('sys')");
    }
    void TearDown() override
    {
        PageThreads::current().stopAll(); // the page goes, as the web extension ends it
        setMainWindowLink(0, nullptr);
        CallBridge::setCurrent(nullptr);
    }

    std::string run(const std::string& code) { return test::runScript(context.get(), code); }

    // Runs the script thread until every exec thread has ended and all they posted has run (a
    // page's thread ends after its last post).
    void finishExecs()
    {
        std::atomic<bool> done = false;
        for (int i = 0; i < 10000 && !done; ++i) {
            done = PageThreads::current().running() == 0;
            while (g_main_context_iteration(nullptr, FALSE)) { }
            if (!done)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Runs the bridge's worker results until `count` thenables have answered.
    void settle(const char* countExpression, int count)
    {
        for (int i = 0; i < 2000 && run(countExpression) != std::to_string(count); ++i) {
            scriptThread.run();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    test::TempDir dir;
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    std::vector<nlohmann::json> requests;
    std::function<std::optional<std::string>(const nlohmann::json&)> answer;
    TaskQueue scriptThread;
    CallBridge bridge { [](int, const std::string&, const nlohmann::json&, const std::string&) { return true; },
        [this](std::function<void()> task) { scriptThread.post(std::move(task)); } };

    test::EnvironmentChange environment;
};

} // namespace

TEST_F(SysModule, PropertiesAndPlainValues)
{
    setBrowserArguments({ "/opt/tvn/tvn", "--silent", "中文" });
    EXPECT_EQ(run("sys.argv = ['x']; JSON.stringify(sys.argv)"), R"(["/opt/tvn/tvn","--silent","中文"])");
    setBrowserArguments({});
    EXPECT_EQ(run("sys.argv.length"), "1"); // the executable's path alone
    setChannelId("tvn_x01_01");
    EXPECT_EQ(run("sys.channel = 'other'; sys.channel"), "tvn_x01_01");

    EXPECT_EQ(run("sys.getAppDataPath()"), (dir / "tvn").string());
    EXPECT_EQ(run("sys.getTempPath().endsWith('/')"), "true");
    EXPECT_EQ(run("sys.arch()"), sizeof(void*) == 8 ? "64" : "32");
    EXPECT_EQ(run("var v = sys.osVersion(); [typeof v.major, typeof v.minor, typeof v.build, v.platformId].join()"), "number,number,number,2");
    EXPECT_EQ(run("var v = sys.osVersion(); [v.distribution.length > 0, v.kernel.length > 0].join()"), "true,true"); // for people: the About view
    EXPECT_EQ(run("sys.languages[sys.languages.length - 1]"), "C"); // GLib's list, its last resort last
    EXPECT_TRUE(std::regex_match(run("sys.getDeviceId()"), std::regex("tvn[0-9a-f]{32}")));
    for (const char* wrong : { "sys.openFileDialog()", "sys.openFileDialog(1)", "sys.clipboardWrite('x')", "sys.msgBox({}, {})" })
        EXPECT_EQ(run(wrong), "!Invalid arguments") << wrong;
    for (const char* quiet : { "sys.getConfig()", "sys.setConfig('s')", "sys.exec()", "sys.openUrl(5)", "sys.deviceInfoDecrypt(5)" })
        EXPECT_EQ(run(quiet), "undefined") << quiet;
}

TEST_F(SysModule, ConfigReadsAndWritesTheFile)
{
    const std::filesystem::path file = dir / "tvn" / "config.ini";
    EXPECT_EQ(run("sys.getConfig({ section: 's', key: 'k' })"), "");
    EXPECT_FALSE(std::filesystem::exists(file)); // reading writes nothing
    EXPECT_EQ(run("sys.setConfig({ section: 's', key: 'k', value: 'v' })"), "null");
    EXPECT_EQ(test::readFile(file), "[s]\nk = v\n\n");
    run("sys.setConfig({ section: 'a', key: 'name', value: '中文' })");
    EXPECT_EQ(run("sys.getConfig({ section: 'a', key: 'name' }) + sys.getConfig({ section: 's', key: 'k' })"), "中文v");

    // Nothing the page writes adds a key or a section of its own choosing: each entry below fails
    // on one rule alone, and the file stays as it was.
    const std::string before = test::readFile(file);
    for (const char* injected : { "{ section: 's', key: 'k', value: 'v\\n[server]\\nca = /tmp/evil.pem' }",
             "{ section: 's', key: 'k', value: 'v\\rca = x' }", "{ section: 's', key: 'k\\nca', value: 'x' }",
             "{ section: 'server]\\n[s', key: 'k', value: 'x' }", "{ section: 'server] x', key: 'k', value: 'x' }",
             "{ section: 's', key: 'ca=x', value: 'x' }", "{ section: 's', key: '[server', value: 'x' }",
             "{ section: 's', key: ' #k', value: 'x' }" })
        EXPECT_EQ(run(std::string("sys.setConfig(") + injected + ")"), "!Invalid arguments") << injected;
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(run("sys.setConfig({ section: 'page', key: 'theme', value: 'dark [x] = y' })"), "null"); // brackets in a value are text
    EXPECT_EQ(run("sys.getConfig({ section: 'page', key: 'theme' })"), "dark [x] = y");
}

TEST_F(SysModule, MessageBoxAsksTheWindowAndNamesTheAnswer)
{
    answer = [](const nlohmann::json& request) -> std::optional<std::string> {
        if (request["icon"] == static_cast<int>(MessageBoxIcon::Warning))
            return R"({"ok":true,"id":7})";
        return R"({"ok":true,"id":1001})";
    };
    EXPECT_EQ(run("sys.msgBox({ title: 'T', main: 'M', text: 'C', type: 'yes,no', icon: 'warning' })"), "no");
    EXPECT_EQ(run("sys.msgBox({ buttons: [{ name: 'now', text: 'Now' }, 5, { name: 'later', text: '&Later' }] })"), "later");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["command"], "msgBox");
    EXPECT_EQ(requests[0]["buttons"], kButtonYes | kButtonNo);
    EXPECT_EQ(requests[0]["main"], "M");
    EXPECT_EQ(requests[1]["custom"], nlohmann::json::parse(R"([{"id":1000,"text":"Now"},{"id":1001,"text":"&Later"}])"));

    answer = [](const nlohmann::json&) { return std::optional<std::string>(); }; // nobody answered
    EXPECT_EQ(run("sys.msgBox({ type: 'ok' })"), "");
}

TEST_F(SysModule, ClipboardThroughTheWindow)
{
    std::string clipboard;
    answer = [&clipboard](const nlohmann::json& request) -> std::optional<std::string> {
        if (request["command"] == "clipboardWrite") {
            clipboard = request["text"];
            return R"({"ok":true,"written":true})";
        }
        return nlohmann::json({ { "ok", true }, { "text", clipboard } }).dump();
    };
    EXPECT_EQ(run("sys.clipboardWrite({ text: 'héllo 中文' })"), "true");
    EXPECT_EQ(run("sys.clipboardRead().text"), "héllo 中文");
    EXPECT_EQ(run("sys.clipboardWrite({ text: 5 })"), "false");
    setMainWindowLink(0, nullptr); // a web process without a window
    EXPECT_EQ(run("sys.clipboardRead().text + sys.clipboardWrite({ text: 'x' })"), "false");
}

TEST_F(SysModule, DeviceInformationRoundTrip)
{
    const std::string document = R"({"CPUID": "BFEBFBFF000906EA", "DiskSerialNumber": "x"})";
    const std::string encoded = encodeDeviceInfo(document);
    EXPECT_EQ(run("sys.deviceInfoDecrypt('" + encoded + "')"), document);

    run("var answers = []; sys.getDeviceInfoAsync().then(function (r) { answers.push(sys.deviceInfoDecrypt(r.deviceInfo)); });"
        "sys.getDeviceIdAsync().then(function (r) { answers.push(r.deviceId); })");
    settle("answers.length", 2);
    EXPECT_EQ(run("answers.length"), "2");
    EXPECT_EQ(run("answers.some(function (a) { return a.indexOf('\"CPUID\": ') === 1; })"), "true");
    EXPECT_EQ(run("answers.indexOf(sys.getDeviceId()) >= 0"), "true");
}

// The logs view's lines: every process's newest, in time order, read off the page's thread.
TEST_F(SysModule, ReadLogsMergesTheProcessesNewestLast)
{
    std::filesystem::create_directories(dir / "tvn" / "logs");
    test::writeFile(dir / "tvn" / "logs" / "main.log", "2026-12-09 00:00:01.000 INFO  window created\n2026-12-09 00:00:03.000 INFO  closed\n");
    test::writeFile(dir / "tvn" / "logs" / "renderer.log", "2026-12-09 00:00:02.000 ERROR download failed \xff\n");
    run("var logs = []; sys.readLogs({ lines: 2 }).then(function (r) { logs.push(r); })");
    settle("logs.length", 1);
    EXPECT_EQ(run("JSON.stringify(logs[0])"), nlohmann::json({ { "folder", (dir / "tvn" / "logs").string() },
                                                  { "lines", { { { "process", "renderer" }, { "text", "2026-12-09 00:00:02.000 ERROR download failed \xef\xbf\xbd" } },
                                                                 { { "process", "main" }, { "text", "2026-12-09 00:00:03.000 INFO  closed" } } } } })
                                                  .dump());
}

TEST_F(SysModule, ExecWholeAndStreamed)
{
    run("var calls = []; function record(done, text, data, status) { calls.push([done, text, JSON.stringify(data), status]); }");
    run("sys.exec({ command: \"sh -c 'echo hi'\", show: false, callback: record })");
    finishExecs();
    EXPECT_EQ(run("JSON.stringify(calls)"), R"([[true,"hi\n","{}",0]])");

    run("calls = []; sys.exec({ command: \"sh -c 'echo hi; exit 3'\", stream: true, callback: record, userdata: { n: 1 } })");
    finishExecs();
    EXPECT_EQ(run("JSON.stringify(calls)"), R"([[false,"hi\n","{\"n\":1}",null],[true,"","{\"n\":1}",3]])");

    // Far more than a pipe holds; a character cut at the 4095-byte boundary arrives whole.
    test::TempDir work;
    {
        std::ofstream(work / "cut.txt", std::ios::binary) << std::string(4094, 'b') << "中" << std::string(10, 'c');
    }
    run("calls = []; sys.exec({ command: \"sh -c 'head -c 3000000 /dev/zero | tr \\\\\\\\0 a'\", callback: record, userdata: 'big' })");
    run("sys.exec({ command: \"cat '" + (work / "cut.txt").string() + "'\", stream: true, callback: record, userdata: 'cut' })");
    // UTF-8 for more than one read, then GBK: what script was handed already gives way to the whole
    // output read as GBK.
    {
        std::ofstream(work / "late-gbk.txt", std::ios::binary) << std::string(300000, 'a') << "\xD6\xD0";
    }
    run("sys.exec({ command: \"cat '" + (work / "late-gbk.txt").string() + "'\", callback: record, userdata: 'late' })");
    finishExecs();
    EXPECT_EQ(run("calls.filter(function (c) { return c[2] === '\"late\"'; }).map(function (c) { return c[1].length + c[1].slice(-2); }).join('|')"),
        "300001a中");
    EXPECT_EQ(run("calls.filter(function (c) { return c[1].length === 3000000 && /^a+$/.test(c[1]); }).length"), "1");
    EXPECT_EQ(run("calls.filter(function (c) { return c[2] === '\"cut\"'; }).map(function (c) { return c[1].slice(0, 1) + c[1].length; }).join('|')"),
        "b4094|中11|0");
}

TEST_F(SysModule, ExecProgramsFoldersAndFailures)
{
    run("var calls = []; function record(done, text) { calls.push(text); }");
    test::TempDir work;
    run("sys.exec({ command: 'pwd', dir: '" + work.path().string() + "', callback: record })");
    run("sys.exec({ exe: '/bin/echo', command: 'anything goes', callback: record })"); // argv[0] is the command's first word
    run("sys.exec({ command: \"printf '\\\\326\\\\320\\\\316\\\\304'\", callback: record })");   // GBK output
    finishExecs();
    run("calls.sort()");
    EXPECT_EQ(run("calls.join('|')"), work.path().string() + "\n|goes\n|中文");

    // No callback at all for a child that cannot start, an unbalanced quote, a command too long.
    run("calls = []; sys.exec({ command: 'no-such-program-tvn', callback: record });"
        "sys.exec({ exe: 'no-such-file', command: 'x', callback: record });"
        "sys.exec({ command: 'pwd', dir: '/no/such/folder', callback: record });"
        "sys.exec({ command: \"echo 'open\", callback: record });"
        "sys.exec({ command: 'echo ' + 'x'.repeat(4091), callback: record })");
    finishExecs();
    EXPECT_EQ(run("calls.length"), "0");
    run("sys.exec({ command: 'echo ' + 'x'.repeat(4090), callback: record })"); // 4095 characters: fits
    finishExecs();
    EXPECT_EQ(run("calls.length"), "1");
}
