// The trayicon module in a standalone JavaScriptCore context: its requests to the browser process
// in order, its argument rules, and the icon's events reaching only the module that added it last.
#include "core/EventBus.h"
#include "modules/ModuleHandler.h"
#include "modules/WindowRequest.h"
#include "tests/support/Script.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(TrayIconModule, RequestsAndEvents)
{
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    ModuleHandler::install(context.get(), 7, 1);
    std::vector<std::string> requests;
    setMainWindowLink(0x600001, [&requests](const std::string& line) -> std::optional<std::string> {
        nlohmann::json request = nlohmann::json::parse(line);
        request.erase("window");
        requests.push_back(request.dump());
        return R"({"ok":true})";
    });
    const auto run = [&context](const std::string& code) { return test::runScript(context.get(), code); };

    EXPECT_EQ(run("var tray = module('trayicon'); tray.add(1)"), "!Invalid arguments");
    EXPECT_EQ(run("tray.modify()"), "!Invalid arguments");
    run("var events = []; tray.add({ callback: function (e) { events.push(e.msg + '@' + e.x + ',' + e.y); throw new Error('ignored'); } });"
        "tray.modify({}); tray.modify({ icon: 'aWNvbg==' }); tray.add({ callback: 5 }); tray.hide(1, 2)");
    EXPECT_EQ(requests, (std::vector<std::string> { R"({"command":"trayAdd","page":7})", R"({"command":"trayShow"})", R"({"command":"trayModify"})",
                            R"({"command":"trayModify","image":"aWNvbg=="})", R"({"command":"trayAdd","image":"aWNvbg==","page":7})", R"({"command":"trayShow"})",
                            R"({"command":"trayHide"})" }));

    EventBus::Bus& bus = EventBus::Bus::instance();
    bus.publish("trayEvent", { int32_t(7), int32_t(513), int32_t(100), int32_t(200) });
    bus.publish("trayEvent", { int32_t(8), int32_t(514), int32_t(1), int32_t(1) }); // another page's
    bus.queue().run();
    EXPECT_EQ(run("events.join()"), "513@100,200");

    // A second module that adds takes the events over.
    run("var other = []; module('trayicon').add({ callback: function (e) { other.push(e.msg); } })");
    bus.publish("trayEvent", { int32_t(7), int32_t(514), int32_t(100), int32_t(200) });
    bus.queue().run();
    EXPECT_EQ(run("events.join() + '|' + other.join()"), "513@100,200|514");
    setMainWindowLink(0, nullptr);
}
