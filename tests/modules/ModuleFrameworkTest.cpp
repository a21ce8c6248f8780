// The module framework, value conversions and thenables in a standalone JavaScriptCore context:
// no browser, no web process.
#include "core/EventBus.h"
#include "core/TaskQueue.h"
#include "modules/CallBridge.h"
#include "modules/DragFiles.h"
#include "modules/ModuleHandler.h"
#include "renderer/RendererMessages.h"
#include "tests/support/Script.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace tvn;

namespace {

class Script : public testing::Test {
protected:
    void SetUp() override { ModuleHandler::install(context.get(), 7, 3); }

    // Runs `code`; the value of its last expression as a string ("!" and the message on an exception).
    std::string run(const std::string& code) { return test::runScript(context.get(), code); }

    // The message a statement throws, or "" when it throws nothing.
    std::string thrown(const std::string& statement)
    {
        return run("(function(){ try { " + statement + "; return ''; } catch (e) { return e.message; } })()");
    }

    ScriptValue evaluate(const std::string& code) { return ScriptValue::adopt(jsc_context_evaluate(context.get(), code.c_str(), -1)); }

    void setGlobal(const char* name, const ScriptValue& value)
    {
        const ScriptValue global = ScriptValue::adopt(jsc_context_get_global_object(context.get()));
        jsc_value_object_set_property(global.get(), name, value.get());
    }

    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
};

// A module made for the tests: a counter property, a declared name without a method, and the
// asynchronous calls of the bridge.
class ProbeModule final : public ModuleBase {
public:
    explicit ProbeModule(bool* destroyed = nullptr, CallBridge* bridge = nullptr)
        : m_destroyed(destroyed), m_bridge(bridge) { }
    ~ProbeModule() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }

    ScriptValue CreateObject(JSCContext* context) override
    {
        ScriptValue object = ModuleBase::CreateObject(context);
        RegisterProperty("count",
            [this](PropertyAccess& access) {
                access.value = ScriptValue::adopt(jsc_value_new_number(access.context, m_count));
                return true;
            },
            [this](PropertyAccess& access) {
                if (!jsc_value_is_number(access.value.get())) {
                    access.exception = "Invalid arguments";
                    return true;
                }
                m_count = jsc_value_to_int32(access.value.get());
                return true;
            });
        RegisterProperty("declaredOnly", {}, {});
        RegisterMethod("ids", [this](MethodCall& call) {
            call.result = ScriptValue::adopt(jsc_value_new_string(call.context, (std::to_string(browserId()) + "/" + std::to_string(frameId())).c_str()));
            return true;
        });
        RegisterMethod("ask", [this](MethodCall& call) { return m_bridge->CallBrowserAsync(call.context, { browserId(), frameId() }, "openFileDialog", call.arguments, call.result); });
        RegisterMethod("work", [this](MethodCall& call) {
            return m_bridge->CallThreadAsync(call.context, { browserId(), frameId() }, [] { return nlohmann::json { { "v", 42 } }; }, call.result);
        });
        return object;
    }

private:
    bool* m_destroyed;
    CallBridge* m_bridge;
    int m_count = 0;
};

} // namespace

TEST_F(Script, ModuleFunctionRejectsBadNames)
{
    EXPECT_EQ(thrown("module()"), "invalid parameters");
    EXPECT_EQ(thrown("module(1)"), "invalid parameters");
    EXPECT_EQ(thrown("module('test', 'test')"), "invalid parameters");
    EXPECT_EQ(thrown("module('Test')"), "invalid parameters");
    EXPECT_EQ(thrown("module('nothing')"), "invalid parameters");
    EXPECT_EQ(thrown("module('test')"), "");
}

TEST_F(Script, TestModule)
{
    EXPECT_EQ(run("module('test').hello('world')"), "hello, world");
    EXPECT_EQ(run("module('test').hello('')"), "hello, ");
    EXPECT_EQ(thrown("module('test').hello(1)"), "Invalid arguments");
    EXPECT_EQ(thrown("module('test').hello()"), "Invalid arguments");
    EXPECT_EQ(thrown("module('test').hello('a', 'b')"), "Invalid arguments");
    EXPECT_EQ(run("module('test') !== module('test')"), "true");
    EXPECT_EQ(run("var m = module('test'); var a = m.hello, b = m.hello; [a !== b, a('x'), b('y'), 'hello' in m].join()"),
        "true,hello, x,hello, y,true");
    EXPECT_EQ(run("var f = module('test').hello; f('kept')"), "hello, kept"); // the function keeps its module
}

TEST_F(Script, PropertiesAndUnknownMembers)
{
    bool destroyed = false;
    auto probe = std::make_shared<ProbeModule>(&destroyed);
    probe->setIds(7, 3);
    setGlobal("p", probe->createScriptObject(context.get()));
    probe.reset();

    EXPECT_EQ(run("p.count = 5; p.count + 1"), "6");
    EXPECT_EQ(thrown("p.count = 'x'"), "Invalid arguments");
    EXPECT_EQ(thrown("p.declaredOnly()"), "function not found");
    EXPECT_EQ(run("typeof p.notDeclared"), "undefined");
    EXPECT_EQ(run("p.ids()"), "7/3");
    EXPECT_EQ(run("Object.keys(p).sort().join()"), "ask,count,declaredOnly,ids,work");
    EXPECT_FALSE(destroyed);

    context = {}; // the engine lets go of everything: the module goes with its object
    EXPECT_TRUE(destroyed);
}

TEST_F(Script, ScriptToJson)
{
    const ScriptValue list = evaluate("[1, 2.5, 2147483648, -0, true, null, 's', undefined, [1, [2]], "
                                      "{a: 1, u: undefined, f: function () {}}, new Date(0)]");
    const nlohmann::json json = ToListValue(list.get());
    ASSERT_EQ(json.size(), 11u);
    EXPECT_TRUE(json[0].is_number_integer());
    EXPECT_EQ(json[0], 1);
    EXPECT_TRUE(json[1].is_number_float());
    EXPECT_TRUE(json[2].is_number_float()); // beyond 32 bits
    EXPECT_TRUE(json[3].is_number_float());
    EXPECT_EQ(json[4], true);
    EXPECT_TRUE(json[5].is_null());
    EXPECT_EQ(json[6], "s");
    EXPECT_TRUE(json[7].is_null()); // a hole
    EXPECT_EQ(json[8], nlohmann::json::parse("[1, [2]]"));
    EXPECT_EQ(json[9], nlohmann::json::parse(R"({"a": 1, "f": {}})"));
    EXPECT_TRUE(json[10].is_string());

    const ScriptValue cyclic = evaluate("var o = {name: 'o'}; o.self = o; o");
    EXPECT_EQ(ToDictionaryValue(cyclic.get())["name"], "o"); // depth-limited, no overflow

    const ScriptValue arguments = evaluate("'x'");
    EXPECT_EQ(ToListValue(std::vector<ScriptValue> { arguments, ScriptValue::adopt(jsc_value_new_undefined(context.get())) }),
        nlohmann::json::parse(R"(["x", null])"));
}

TEST_F(Script, JsonToScript)
{
    nlohmann::json dictionary = nlohmann::json::parse(R"({"n": 1, "d": 2.5, "s": "t", "b": false, "z": null,
        "list": [1, {"x": [true]}], "nested": {"deep": {"v": "w"}}})");
    dictionary["bin"] = nlohmann::json::binary({ 1, 2, 3 });
    setGlobal("r", toScriptObject(context.get(), dictionary));
    EXPECT_EQ(run("JSON.stringify(r)"),
        R"({"b":false,"bin":null,"d":2.5,"list":[1,{"x":[true]}],"n":1,"nested":{"deep":{"v":"w"}},"s":"t","z":null})");
    EXPECT_EQ(run("Array.isArray(r.list)"), "true");
}

TEST_F(Script, OptionReaders)
{
    const ScriptValue options = evaluate("({i: 5, d: 2.9, neg: -2.9, s: ' 42x', none: 'x', b: true, text: 'hi', n: null})");
    EXPECT_EQ(GetIntOption(options.get(), "i"), 5);
    EXPECT_EQ(GetIntOption(options.get(), "d"), 2);
    EXPECT_EQ(GetIntOption(options.get(), "neg"), -2);
    EXPECT_EQ(GetIntOption(options.get(), "s"), 42);
    EXPECT_EQ(GetIntOption(options.get(), "none"), 0);
    EXPECT_EQ(GetIntOption(options.get(), "b"), std::nullopt);
    EXPECT_EQ(GetIntOption(options.get(), "missing"), std::nullopt);
    EXPECT_EQ(GetBoolOption(options.get(), "b"), true);
    EXPECT_EQ(GetBoolOption(options.get(), "i"), std::nullopt);
    EXPECT_EQ(GetStringOption(options.get(), "text"), "hi");
    EXPECT_EQ(GetStringOption(options.get(), "n"), std::nullopt);

    setGlobal("made", MakeObject(context.get(), { { "b", evaluate("2") }, { "a", evaluate("'1'") } }));
    EXPECT_EQ(run("JSON.stringify(made)"), R"({"b":2,"a":"1"})");
}

namespace {

struct SentCall {
    int browserId;
    std::string method;
    nlohmann::json arguments;
    std::string callId;
};

class Thenables : public Script {
protected:
    void SetUp() override
    {
        Script::SetUp();
        auto probe = std::make_shared<ProbeModule>(nullptr, &bridge);
        probe->setIds(7, 3);
        setGlobal("p", probe->createScriptObject(context.get()));
        run("var out = [];");
    }

    void TearDown() override
    {
        context = {};
        // A worker may still hand back its result: run it out before the queue goes.
        for (int i = 0; i < 50 && scriptThread.size() == 0 && outstanding; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::vector<SentCall> sent;
    TaskQueue scriptThread;
    bool outstanding = false;
    CallBridge bridge {
        [this](int browserId, const std::string& method, const nlohmann::json& arguments, const std::string& callId) {
            sent.push_back({ browserId, method, arguments, callId });
            return true;
        },
        [this](std::function<void()> task) { scriptThread.post(std::move(task)); },
    };
};

} // namespace

TEST_F(Thenables, BrowserCallsSettleTheirOwnThenables)
{
    run("p.ask(1, 'x', [2]).then(function (r) { out.push('first:' + JSON.stringify(r)); });"
        "p.ask().then(function (r) { out.push('second:' + JSON.stringify(r)); });");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].browserId, 7);
    EXPECT_EQ(sent[0].method, "openFileDialog");
    EXPECT_EQ(sent[0].arguments, nlohmann::json::parse(R"([1, "x", [2]])"));
    EXPECT_EQ(sent[0].callId, "0");
    EXPECT_EQ(sent[1].callId, "1");
    EXPECT_EQ(bridge.pendingCount(), 2u);

    bridge.onResult("1", nlohmann::json::parse(R"({"files": ["/a", "/b"], "nested": {"l": [1, {"x": 2}]}})"));
    bridge.onResult("0", nlohmann::json::object());
    bridge.onResult("0", { { "again", true } }); // no longer pending
    bridge.onResult("17", { { "never", true } });
    bridge.onResult("1x", { { "bad", true } });
    EXPECT_EQ(run("out.join('|')"), R"(second:{"files":["/a","/b"],"nested":{"l":[1,{"x":2}]}}|first:{})");
    EXPECT_EQ(bridge.pendingCount(), 0u);
}

TEST_F(Thenables, ThenStoresOnlyFunctionsAndDoesNotChain)
{
    run("var t = p.ask(); var chained = t.then(function () { out.push('replaced'); });"
        "t.then('not a function', function () {}); t.then(function () { out.push('kept'); });");
    EXPECT_EQ(run("typeof chained"), "undefined");
    run("var unused = p.ask();");                  // then never called
    run("p.ask().then(42);");                      // then without a function
    bridge.onResult("0", {});
    bridge.onResult("1", {});
    bridge.onResult("2", {});
    EXPECT_EQ(run("out.join()"), "kept");
}

TEST_F(Thenables, SuccessFunctionThatThrowsIsContained)
{
    run("p.ask().then(function () { throw new Error('page bug'); });");
    bridge.onResult("0", {});
    EXPECT_EQ(run("1 + 1"), "2");
}

TEST_F(Thenables, WorkerResultsComeBackOnTheScriptThread)
{
    outstanding = true;
    run("p.work().then(function (r) { out.push(r.v); }); p.work();"); // the second thenable is dropped by script
    for (int i = 0; i < 500 && scriptThread.size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(run("out.length"), "0"); // nothing runs until the script thread pumps
    EXPECT_EQ(scriptThread.run(), 2u);
    EXPECT_EQ(run("out.join()"), "42");
    outstanding = false;
}

// Calls the browser never answers, or whose work ends after the page went, hold nothing once their
// frame's context is cleared; another frame's calls stay.
TEST_F(Thenables, PendingCallsGoWithTheirFrame)
{
    outstanding = true;
    run("p.ask().then(function () { out.push('answered'); }); p.work().then(function () { out.push('worked'); });");
    auto other = std::make_shared<ProbeModule>(nullptr, &bridge);
    other->setIds(7, 4);
    setGlobal("q", other->createScriptObject(context.get()));
    run("q.ask().then(function () { out.push('other frame'); });");
    EXPECT_EQ(bridge.pendingCount(), 3u);

    bridge.dropPending({ 7, 3 });
    EXPECT_EQ(bridge.pendingCount(), 1u);
    bridge.onResult("0", {});
    bridge.onResult("2", {});
    for (int i = 0; i < 500 && scriptThread.size() < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    scriptThread.run(); // the work's result finds its call gone
    EXPECT_EQ(run("out.join()"), "other frame");
    EXPECT_EQ(bridge.pendingCount(), 0u);
    outstanding = false;
}

TEST_F(Thenables, MessagesFromTheBrowser)
{
    std::vector<std::string> ran;
    RendererMessageTargets targets { &bridge, [&](const std::string& source) { ran.push_back(source); } };
    std::vector<std::vector<int32_t>> sizes;
    auto subscription = EventBus::Bus::instance().subscribe("onSize", [&](const EventBus::Message* message) {
        std::vector<int32_t> values;
        for (const auto& value : *message->values)
            values.push_back(std::get<int32_t>(value));
        sizes.push_back(values);
    });

    run("p.ask().then(function (r) { out.push(r.files.join()); });");
    EXPECT_FALSE(handleRendererMessage(4, "result", nlohmann::json::parse(R"(["0", {"files": ["/a", "/b"]}])"), targets));
    EXPECT_EQ(run("out.join()"), "/a,/b");

    EXPECT_TRUE(handleRendererMessage(4, "runJavascript", nlohmann::json::parse(R"(["document.title = 'x'"])"), targets));
    EXPECT_FALSE(handleRendererMessage(4, "runJavascript", nlohmann::json::parse(R"(["a", "b"])"), targets));
    EXPECT_EQ(ran, (std::vector<std::string> { "document.title = 'x'" }));

    EXPECT_FALSE(handleRendererMessage(4, "onSize", nlohmann::json::parse(R"([2, {"w": 800, "h": 600}])"), targets));
    EventBus::Bus::instance().queue().run();
    EXPECT_EQ(sizes, (std::vector<std::vector<int32_t>> { { 4, 2, 800, 600 } }));

    dragFileList() = { "/kept" };
    EXPECT_FALSE(handleRendererMessage(4, "drag", nlohmann::json::parse(R"([{"type": "text", "files": ["/x"]}])"), targets));
    EXPECT_EQ(dragFileList(), (std::vector<std::string> { "/kept" }));
    EXPECT_TRUE(handleRendererMessage(4, "drag", nlohmann::json::parse(R"([{"type": "file", "files": []}])"), targets));
    EXPECT_TRUE(dragFileList().empty());
    EXPECT_TRUE(handleRendererMessage(4, "drag", nlohmann::json::parse(R"([{"type": "file", "files": ["/a b", "/c"]}])"), targets));
    EXPECT_EQ(dragFileList(), (std::vector<std::string> { "/a b", "/c" }));
    EXPECT_FALSE(handleRendererMessage(4, "unknown", nlohmann::json::array(), targets));
}
