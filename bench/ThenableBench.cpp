// A thenable's cost in the web process alone: the call made from script (the thenable, the "call"
// message's text), then its "result" taken from a message's text and the success function called,
// with the browser process and WebKit's messages left out (the answer comes through the script
// thread's main loop). Against a native function that answers its callback the same way and does
// nothing else. For information: where a thenable's round trip goes beyond a bare message's.

#include "bench/Ratios.h"
#include "core/Logging.h"
#include "ipc/JsonMessage.h"
#include "modules/CallBridge.h"
#include "platform/MainLoop.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <glib.h>

namespace {

constexpr int kCallsPerRun = 2000;

// Runs `start` (which sets `finished` after kCallsPerRun chained calls) and the main loop until done.
void runChain(benchmark::State& state, JSCContext* context)
{
    const std::string chain = "var finished = false, i = 0; function next() { if (++i === " + std::to_string(kCallsPerRun)
        + ") { finished = true; return; } call(next); } next();";
    for (auto _ : state) {
        tvn::ScriptValue started = tvn::ScriptValue::adopt(jsc_context_evaluate(context, chain.c_str(), -1));
        for (;;) {
            g_main_context_iteration(nullptr, TRUE);
            tvn::ScriptValue finished = tvn::ScriptValue::adopt(jsc_context_evaluate(context, "finished", -1));
            if (jsc_value_to_boolean(finished.get()))
                break;
        }
    }
    state.counters["calls_per_second"] = benchmark::Counter(double(state.iterations() * kCallsPerRun), benchmark::Counter::kIsRate);
}

JSCValue* callThroughBridge(GPtrArray* arguments, gpointer bridge)
{
    JSCContext* context = jsc_context_get_current();
    // call(next): echo(1).then(next), as the page writes it.
    tvn::ScriptValue thenable;
    static_cast<tvn::CallBridge*>(bridge)->CallBrowserAsync(context, { 1, 1 }, "echo", { tvn::ScriptValue::adopt(jsc_value_new_number(context, 1)) }, thenable);
    tvn::ScriptValue then = tvn::ScriptValue::adopt(jsc_value_object_get_property(thenable.get(), "then"));
    tvn::ScriptValue ignored = tvn::ScriptValue::adopt(
        jsc_value_function_call(then.get(), JSC_TYPE_VALUE, g_ptr_array_index(arguments, 0), G_TYPE_NONE));
    return jsc_value_new_undefined(context);
}

// The web process logs at the default level into its file, as it does in use.
class RendererLog {
public:
    RendererLog()
        : m_folder(g_dir_make_tmp("tvn-bench-XXXXXX", nullptr))
    {
        tvn::log::initialize({ std::filesystem::path(m_folder.get()) / "renderer.log", tvn::log::Severity::Info });
    }
    ~RendererLog()
    {
        tvn::log::initialize({ std::filesystem::path(m_folder.get()) / "off.log", tvn::log::Severity::None });
        std::filesystem::remove_all(m_folder.get());
    }
    RendererLog(const RendererLog&) = delete;
    RendererLog& operator=(const RendererLog&) = delete;

private:
    tvn::GUnique<char> m_folder;
};

void thenableInTheWebProcess(benchmark::State& state)
{
    const RendererLog log;
    tvn::GRef<JSCContext> context = tvn::GRef<JSCContext>::adopt(jsc_context_new());
    std::unique_ptr<tvn::CallBridge> bridge;
    bridge = std::make_unique<tvn::CallBridge>(
        [&bridge](int, const std::string& method, const nlohmann::json& arguments, const std::string& callId) {
            // What crosses to the browser and back: the call's text, the result's text.
            GVariant* call = g_variant_ref_sink(tvn::jsonParameters({ method, arguments, callId }));
            const nlohmann::json received = tvn::argumentsOf(call);
            g_variant_unref(call);
            tvn::platform::postToMainLoop([&bridge, callId = received[2].get<std::string>(), value = received[1][0]] {
                GVariant* result = g_variant_ref_sink(tvn::jsonParameters({ callId, { { "value", value } } }));
                const nlohmann::json answer = tvn::argumentsOf(result);
                g_variant_unref(result);
                bridge->onResult(answer[0].get<std::string>(), answer[1]);
            });
            return true;
        },
        tvn::platform::postToMainLoop);
    tvn::ScriptValue call = tvn::ScriptValue::adopt(
        jsc_value_new_function_variadic(context.get(), "call", G_CALLBACK(callThroughBridge), bridge.get(), nullptr, JSC_TYPE_VALUE));
    jsc_context_set_value(context.get(), "call", call.get());
    runChain(state, context.get());
}

JSCValue* callBack(GPtrArray* arguments, gpointer)
{
    JSCContext* context = jsc_context_get_current();
    tvn::platform::postToMainLoop([callback = tvn::ScriptValue::retain(static_cast<JSCValue*>(g_ptr_array_index(arguments, 0)))] {
        tvn::ScriptValue ignored = tvn::ScriptValue::adopt(jsc_value_function_call(callback.get(), G_TYPE_NONE));
    });
    return jsc_value_new_undefined(context);
}

void callbackInTheWebProcess(benchmark::State& state)
{
    tvn::GRef<JSCContext> context = tvn::GRef<JSCContext>::adopt(jsc_context_new());
    tvn::ScriptValue call = tvn::ScriptValue::adopt(
        jsc_value_new_function_variadic(context.get(), "call", G_CALLBACK(callBack), nullptr, nullptr, JSC_TYPE_VALUE));
    jsc_context_set_value(context.get(), "call", call.get());
    runChain(state, context.get());
}

} // namespace

BENCHMARK(thenableInTheWebProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(callbackInTheWebProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
TVN_BENCH_RATIO("thenable in the web process alone, time / a native callback answered the same way", "callbackInTheWebProcess",
    "thenableInTheWebProcess", "calls_per_second");
