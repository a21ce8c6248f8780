// The window module in a standalone JavaScriptCore context, its window channel answered by the test.
#include "core/EventBus.h"
#include "modules/ModuleHandler.h"
#include "modules/WindowRequest.h"
#include "tests/support/Script.h"

#include <gtest/gtest.h>

using namespace tvn;

namespace {

class WindowModule : public testing::Test {
protected:
    void SetUp() override
    {
        ModuleHandler::install(context.get(), 7, 3);
        setMainWindowLink(0x600001, [this](const std::string& line) -> std::optional<std::string> {
            nlohmann::json request = nlohmann::json::parse(line);
            EXPECT_EQ(request["window"], 0x600001);
            request.erase("window");
            requests.push_back(request.dump());
            if (request["command"] == "state")
                return R"({"ok":true,"topmost":true,"resizable":false,"maximized":false,"width":1168,"height":832})";
            return R"({"ok":true})";
        });
        run("var w = module('window')");
    }
    void TearDown() override { setMainWindowLink(0, nullptr); }

    std::string run(const std::string& code) { return test::runScript(context.get(), code); }

    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    std::vector<std::string> requests;
};

} // namespace

TEST_F(WindowModule, MembersBecomeRequests)
{
    EXPECT_EQ(run("[w.topmost, w.resizable].join()"), "true,false");
    run("w.topmost = true; w.topmost = 'yes'; w.resizable = true; w.resizable = 1");
    run("w.close(); w.show(1, 2); w.hide(); w.minimize(); w.maximize(); w.restore(); w.bringWindowToFront(); w.flash()");
    run("w.setIcon('aGk='); w.setIcon(5); w.setIcon('a', 'b')");
    EXPECT_EQ(requests, (std::vector<std::string> { R"({"command":"state"})", R"({"command":"state"})",
                            R"({"command":"setTopmost","value":true})", R"({"command":"setTopmost","value":false})",
                            R"({"command":"setResizeable","value":1})", R"({"command":"setResizeable","value":0})",
                            R"({"command":"close"})", R"({"command":"show"})", R"({"command":"hide"})", R"({"command":"minimize"})",
                            R"({"command":"maximize"})", R"({"command":"restore"})", R"({"command":"bringWindowToFront"})",
                            R"({"command":"flash"})", R"({"command":"setIcon","image":"aGk="})" }));
}

// Integer fields count when they are numbers (truncated) or strings (atoi); others are absent.
TEST_F(WindowModule, PositionsTakeOnlyOneObject)
{
    run("w.setWindowPos({ x: '15', y: 2.9, w: 800 }); w.setWindowPos({ x: true, h: null }); w.setWindowPos(); w.setWindowPos(1); w.setWindowPos({}, {})");
    run("w.centerWindow({}); w.centerWindow(); w.centerWindow({ w: -3.7, h: '400px' })");
    EXPECT_EQ(requests, (std::vector<std::string> { R"({"command":"setWindowPos","w":800,"x":15,"y":2})", R"({"command":"setWindowPos"})",
                            R"({"command":"centerWindow"})", R"({"command":"centerWindow","h":400,"w":-3})" }));
}

TEST_F(WindowModule, OnSizeAnswersAtOnceThenOnEvents)
{
    EXPECT_EQ(run("w.onSize(5)"), "!Invalid arguments");
    EXPECT_EQ(run("w.onSize(function () {}, 1)"), "!Invalid arguments");
    EXPECT_EQ(run("var sizes = []; w.onSize(function (type, size) { sizes.push(type + ':' + size.w + 'x' + size.h); throw new Error('ignored'); }); sizes.join()"),
        "0:1168x832");

    EventBus::Bus& bus = EventBus::Bus::instance();
    bus.publish("onSize", { int32_t(7), int32_t(2), int32_t(1920), int32_t(1050) });
    bus.publish("onSize", { int32_t(8), int32_t(0), int32_t(1), int32_t(1) }); // another browser
    bus.publish("onSize", { int32_t(7), int64_t(0), int32_t(1), int32_t(1) }); // not the message's shape
    bus.queue().run();
    EXPECT_EQ(run("sizes.join()"), "0:1168x832,2:1920x1050");

    // A second registration replaces the first; a second module has its own.
    run("var other = []; module('window').onSize(function (type) { other.push(type); }); w.onSize(function (type) { sizes.push('new ' + type); })");
    bus.publish("onSize", { int32_t(7), int32_t(0), int32_t(800), int32_t(600) });
    bus.queue().run();
    EXPECT_EQ(run("sizes.join() + '|' + other.join()"), "0:1168x832,2:1920x1050,new 0,new 0|0,0");
}

TEST_F(WindowModule, NoWindowMeansNoRequests)
{
    setMainWindowLink(0, [this](const std::string& line) -> std::optional<std::string> {
        requests.push_back(line);
        return "{}";
    });
    EXPECT_EQ(run("w.close(); w.setWindowPos({ x: 1 }); [w.topmost, w.resizable].join()"), "false,false");
    EXPECT_EQ(run("var got; w.onSize(function (type, size) { got = type + ':' + size.w; }); got"), "0:0");
    EXPECT_TRUE(requests.empty());
}
