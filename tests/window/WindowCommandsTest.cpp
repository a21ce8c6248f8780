// The window channel's commands, carried out on a window of the test's own.
#include "window/WindowCommands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tvn;

namespace {

// Records what was done to it, one line per call.
class RecordingWindow final : public WindowControl {
public:
    int64_t windowId() const override { return id; }
    State state() const override { return { true, false, true, 1168, 832 }; }
    void setTopmost(bool value) override { log.push_back(std::string("topmost ") + (value ? "1" : "0")); }
    void OnSetResizeable(bool value) override { log.push_back(std::string("resizeable ") + (value ? "1" : "0")); }
    void closeWindow() override { log.push_back("close"); }
    void showWindow(Show show) override { log.push_back("show " + std::to_string(static_cast<int>(show))); }
    void setWindowPos(bool move, int x, int y, bool size, int width, int height) override
    {
        log.push_back("pos " + std::string(move ? "move " : "") + std::to_string(x) + "," + std::to_string(y) + (size ? " size " : " ")
            + std::to_string(width) + "x" + std::to_string(height));
    }
    void centerWindow(std::optional<int> width, std::optional<int> height) override
    {
        log.push_back("center " + (width ? std::to_string(*width) : "-") + "x" + (height ? std::to_string(*height) : "-"));
    }
    void bringToFront() override { log.push_back("front"); }
    void flash() override { log.push_back("flash"); }
    void setIcon(const std::vector<uint8_t>& image) override { log.push_back("icon " + std::string(image.begin(), image.end())); }
    void setBackground(const std::string& color) override { log.push_back("background " + color); }
    void showMessageBox(const MessageBoxRequest& request, std::function<void(int)> answered) override
    {
        log.push_back("msgBox " + request.title + " " + std::to_string(shownButtons(request).size()));
        answerBox = std::move(answered);
    }
    void readClipboardText(std::function<void(std::optional<std::string>)> done) override { done(clipboard); }
    bool writeClipboardText(const std::string& text) override
    {
        clipboard = text;
        return true;
    }

    int64_t id = 0x600001;
    std::vector<std::string> log;
    std::function<void(int)> answerBox;
    std::optional<std::string> clipboard;
};

// The reply line, "(none yet)" while the command waits.
std::string answerWindowRequest(WindowControl& window, std::string_view line)
{
    auto reply = std::make_shared<std::string>("(none yet)");
    answerWindowRequest(window, line, [reply](std::string text) { *reply = std::move(text); });
    return *reply;
}

std::string ask(WindowControl& window, nlohmann::json request)
{
    if (!request.contains("window"))
        request["window"] = 0x600001;
    return answerWindowRequest(window, request.dump());
}

} // namespace

TEST(WindowCommands, CarriedOutOnTheWindow)
{
    RecordingWindow window;
    EXPECT_EQ(ask(window, { { "command", "state" } }), R"({"height":832,"maximized":true,"ok":true,"resizable":false,"topmost":true,"width":1168})");
    EXPECT_EQ(ask(window, { { "command", "setTopmost" }, { "value", true } }), R"({"ok":true})");
    ask(window, { { "command", "setResizeable" }, { "value", 2 } }); // any non-zero value
    ask(window, { { "command", "setResizeable" }, { "value", 0 } });
    for (const char* command : { "close", "show", "hide", "minimize", "maximize", "restore", "bringWindowToFront", "flash" })
        ask(window, { { "command", command } });
    ask(window, { { "command", "setIcon" }, { "image", "aGk=" } });
    ask(window, { { "command", "setIcon" } });
    ask(window, { { "command", "setBackground" }, { "color", "rgb(21, 24, 30)" } });
    ask(window, { { "command", "setBackground" }, { "color", 5 } });
    EXPECT_EQ(window.log, (std::vector<std::string> { "topmost 1", "resizeable 1", "resizeable 0", "close", "show 0", "show 1", "show 2",
                              "show 3", "show 4", "front", "flash", "icon hi", "icon ", "background rgb(21, 24, 30)", "background " }));
}

// A position or a size counts as given when either of its two fields is; the absent one is 0.
TEST(WindowCommands, WindowPositionsAndCentring)
{
    RecordingWindow window;
    ask(window, { { "command", "setWindowPos" }, { "x", 10 }, { "y", 20 } });
    ask(window, { { "command", "setWindowPos" }, { "w", 800 }, { "h", 600 } });
    ask(window, { { "command", "setWindowPos" }, { "x", 15 }, { "y", 2 }, { "w", 800 } });
    ask(window, { { "command", "setWindowPos" } });
    ask(window, { { "command", "centerWindow" } });
    ask(window, { { "command", "centerWindow" }, { "w", 500 } });
    EXPECT_EQ(window.log, (std::vector<std::string> { "pos move 10,20 0x0", "pos 0,0 size 800x600", "pos move 15,2 size 800x0", "pos 0,0 0x0",
                              "center -x-", "center 500x-" }));
}

// What is not a request for this window does nothing and says so.
TEST(WindowCommands, RefusedRequests)
{
    RecordingWindow window;
    for (const std::string& line : { std::string("not json"), std::string("[1]"), std::string(R"({"command":"close"})"),
             std::string(R"({"window":"6291457","command":"close"})"), std::string(R"({"window":1,"command":"close"})"),
             std::string(R"({"window":6291457,"command":"explode"})"), std::string(R"({"window":6291457,"command":7})") })
        EXPECT_EQ(answerWindowRequest(window, line), R"({"ok":false})") << line;

    window.id = 0; // no window: nothing is its
    EXPECT_EQ(answerWindowRequest(window, R"({"window":0,"command":"close"})"), R"({"ok":false})");
    EXPECT_TRUE(window.log.empty());
}

// The message box answers when the user has chosen; the clipboard answers its text (empty for none).
TEST(WindowCommands, DesktopRequestsAnswerWhenDone)
{
    RecordingWindow window;
    std::string reply = "(none yet)";
    const std::string line = R"({"window":6291457,"command":"msgBox","title":"T","buttons":6,"custom":[{"id":1000,"text":"&Later"}]})";
    answerWindowRequest(window, line, [&reply](std::string text) { reply = std::move(text); });
    EXPECT_EQ(reply, "(none yet)");
    ASSERT_TRUE(window.answerBox);
    window.answerBox(1000);
    EXPECT_EQ(reply, R"({"id":1000,"ok":true})");
    EXPECT_EQ(ask(window, { { "command", "msgBox" }, { "custom", { 5 } } }), R"({"ok":false})"); // a button without an id

    EXPECT_EQ(ask(window, { { "command", "clipboardRead" } }), R"({"ok":true,"text":""})");
    EXPECT_EQ(ask(window, { { "command", "clipboardWrite" }, { "text", "\u4e2d\u6587 ok" } }), R"({"ok":true,"written":true})");
    EXPECT_EQ(ask(window, { { "command", "clipboardWrite" }, { "text", 5 } }), R"({"ok":true,"written":false})");
    EXPECT_EQ(ask(window, { { "command", "clipboardRead" } }), R"({"ok":true,"text":"中文 ok"})");
    EXPECT_EQ(window.log, (std::vector<std::string> { "msgBox T 3" }));
}
