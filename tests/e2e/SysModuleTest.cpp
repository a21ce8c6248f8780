// End to end: a page drives the sys module in the real browser. The clipboard is shared with
// another X client (xclip), message boxes are answered with the keyboard, the file manager is a
// test program on a private session bus, the default handler of a test scheme is a script.
#include "tests/e2e/Desktop.h"

#include <csignal>
#include <cstdlib>

using namespace tvn;
using test::eventually;
using test::output;

namespace {

// A session bus of the test's own (dbus-daemon) with a file manager on it; tvn inherits its address.
struct PrivateSessionBus {
    pid_t daemon = 0;
    pid_t fileManager = 0;
    std::filesystem::path record;
    std::optional<std::string> oldAddress;

    explicit PrivateSessionBus(const std::filesystem::path& folder)
        : record(folder / "file-manager.txt")
    {
        if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            oldAddress = address;
        std::istringstream lines(output("dbus-daemon --session --fork --print-address=1 --print-pid=1"));
        std::string address, pid;
        std::getline(lines, address);
        std::getline(lines, pid);
        if (address.empty() || pid.empty())
            return;
        daemon = std::stoi(pid);
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        fileManager = test::startProgram({ TVN_TEST_FILE_MANAGER, record.string() }, folder);
        // Ready once it owns its name (it writes "ready" then): tvn must find it there.
        eventually([this] { return test::readFile(record).starts_with("ready\n"); });
    }
    ~PrivateSessionBus()
    {
        for (pid_t pid : { fileManager, daemon })
            if (pid > 0)
                kill(pid, SIGTERM);
        if (fileManager > 0)
            waitpid(fileManager, nullptr, 0);
        if (oldAddress)
            setenv("DBUS_SESSION_BUS_ADDRESS", oldAddress->c_str(), 1);
        else
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    bool ready() const { return daemon > 0 && test::readFile(record).starts_with("ready\n"); }
};

class SysModule : public test::Window {
protected:
    void beforeStart() override
    {
        bus = std::make_unique<PrivateSessionBus>(installation.dir.path());
        handler = std::make_unique<test::DefaultHandler>(installation, std::vector<std::string> { "tvntest" });
    }
    std::vector<std::string> startArguments() override { return { "--from-test", "中文 arg" }; }

    std::unique_ptr<PrivateSessionBus> bus;
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

TEST_F(SysModule, FileManagerAndDefaultHandler)
{
    ASSERT_TRUE(bus->ready());
    const std::filesystem::path item = installation.dir / "shown file.txt";
    test::writeFile(item, "x");
    run("var sys = module('sys')");
    run("sys.showInExplorer({ path: '" + item.string() + "' })");
    run("sys.showInExplorer({ path: '" + (installation.dir / "missing.txt").string() + "' })");
    EXPECT_EQ(test::readFile(bus->record), "ready\nShowItems file://" + installation.dir.path().string() + "/shown%20file.txt\n");

    run("sys.openUrl({ url: 'tvntest://open/this?x=1' }); sys.openUrl({ url: '' }); sys.openUrl({ url: 'not a url' })");
    EXPECT_TRUE(eventually([&] { return !handler->received().empty(); }));
    EXPECT_EQ(handler->received(), "tvntest://open/this?x=1\n");
}
