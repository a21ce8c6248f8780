// End to end: a page drives the sys module in the real browser. The clipboard is shared with
// another X client (xclip), message boxes are answered with the keyboard, the file manager is a
// test program on a private session bus, the default handler of a test scheme is a script.
#include "tests/e2e/Desktop.h"
#include "tests/support/Environment.h"

#include <csignal>
#include <cstdlib>

using namespace tvn;
using test::eventually;
using test::output;

namespace {

class SysModule : public test::Window {
protected:
    void beforeStart() override
    {
        bus = std::make_unique<test::PrivateSessionBus>();
        fileManager = bus->startService({ TVN_TEST_FILE_MANAGER }, installation.dir / "file-manager.txt");
        handler = std::make_unique<test::DefaultHandler>(installation, std::vector<std::string> { "tvntest" });
    }
    std::vector<std::string> startArguments() override { return { "--from-test", "中文 arg" }; }

    std::unique_ptr<test::PrivateSessionBus> bus;
    std::filesystem::path fileManager;
    std::unique_ptr<test::DefaultHandler> handler;
};

} // namespace

TEST_F(SysModule, ArgumentsAndChildProcesses)
{
    EXPECT_EQ(run("var sys = module('sys'); JSON.stringify(sys.argv.slice(1))"), R"(["--from-test","中文 arg"])");
    EXPECT_EQ(run("sys.argv[0] === sys.getAppPath()"), "true");
    EXPECT_EQ(runAsync("sys.exec({ command: \"sh -c 'echo hi; echo err >&2'\", callback: function (done, text, data, status) {"
                       " if (done) out = JSON.stringify([text, data, status]); } })"),
        R"(["hi\nerr\n",{},0])");
}

TEST_F(SysModule, ClipboardIsTheDesktops)
{
    EXPECT_EQ(run("module('sys').clipboardWrite({ text: 'from the page: héllo 中文' })"), "true");
    EXPECT_EQ(output("xclip -selection clipboard -o"), "from the page: héllo 中文");

    ASSERT_EQ(std::system("printf 'from xclip: ünïcode 文字' | xclip -selection clipboard -i"), 0);
    EXPECT_TRUE(eventually([&] { return run("module('sys').clipboardRead().text") == "from xclip: ünïcode 文字"; }));
}

TEST_F(SysModule, MessageBoxesAnsweredWithTheKeyboard)
{
    run("var sys = module('sys')");
    send("sys.msgBox({ title: 'Question', main: 'Repair now?', text: 'Two files are missing.', type: 'yes,no', icon: 'warning' })");
    answerDialog({ "key Return" }); // the first button
    EXPECT_EQ(result(), "yes");
    send("sys.msgBox({ title: 'Question', type: 'yes,no', icon: 'warning' })");
    answerDialog({ "key alt+n" });
    EXPECT_EQ(result(), "no");

    send("sys.msgBox({ main: 'Later?', buttons: [{ name: 'now', text: '&Now' }, { name: 'later', text: '&Later' }], type: 'cancel' })");
    answerDialog({ "key alt+l" });
    EXPECT_EQ(result(), "later");
    send("sys.msgBox({ main: 'Later?', buttons: [{ name: 'later', text: '&Later' }], type: 'cancel' })");
    answerDialog({ "key Escape" });
    EXPECT_EQ(result(), "cancel");

    // Without Cancel, Escape does not close it.
    send("sys.msgBox({ main: 'Only OK' })");
    answerDialog({ "key Escape" });
    EXPECT_EQ(result(std::chrono::seconds(1)), "(no answer)");
    answerDialog({ "key Return" });
    EXPECT_EQ(result(), "ok");
}

namespace {

// A Chinese desktop: LANG=zh_CN.UTF-8 and no LANGUAGE.
class ChineseDesktop : public test::Window {
protected:
    void beforeStart() override
    {
        environment.set("TVN_TEST_LANGUAGE", "");
        environment.unset("LC_ALL");
        environment.unset("LC_MESSAGES");
        environment.set("LANG", "zh_CN.UTF-8");
    }
    test::EnvironmentChange environment;
};

} // namespace

// The standard buttons are the desktop's words ("是(_Y)", "否(_N)"), their access keys kept.
TEST_F(ChineseDesktop, MessageBoxButtonsSpeakIt)
{
    run("var sys = module('sys')");
    send("sys.msgBox({ title: '问题', main: '现在修复吗？', text: '缺失两个文件。', type: 'yes,no', icon: 'warning' })");
    const std::string dialog = dialogWindow();
    ASSERT_FALSE(dialog.empty());
    std::filesystem::create_directories(TVN_E2E_SCREENSHOTS);
    std::system((std::string(TVN_SCREENSHOT) + " " + (std::filesystem::path(TVN_E2E_SCREENSHOTS) / "message-box-zh.png").string() + " " + dialog).c_str());
    answerDialog({ "key alt+n" });
    EXPECT_EQ(result(), "no");
    EXPECT_TRUE(installation.logShows("main", "message box buttons: 是(_Y), 否(_N)"));
}

TEST_F(SysModule, FileManagerAndDefaultHandler)
{
    ASSERT_FALSE(fileManager.empty()) << "no file manager on the bus";
    const std::filesystem::path item = installation.dir / "shown file.txt";
    test::writeFile(item, "x");
    run("var sys = module('sys')");
    run("sys.showInExplorer({ path: '" + item.string() + "' })");
    run("sys.showInExplorer({ path: '" + (installation.dir / "missing.txt").string() + "' })");
    EXPECT_EQ(test::readFile(fileManager), "ready\nShowItems file://" + installation.dir.path().string() + "/shown%20file.txt\n");

    run("sys.openUrl({ url: 'tvntest://open/this?x=1' }); sys.openUrl({ url: '' }); sys.openUrl({ url: 'not a url' })");
    EXPECT_TRUE(eventually([&] { return !handler->received().empty(); }));
    EXPECT_EQ(handler->received(), "tvntest://open/this?x=1\n");
}
