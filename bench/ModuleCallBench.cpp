// A synchronous module call from script (module('test').hello('x'): the member read that makes a
// new function, the dispatch, the argument check, the result) against a call of an empty native
// function made with the same JavaScriptCore API. The goal: at most 2 times as long. (Argument 1:
// the method read once and the function held, which leaves the dispatch alone.)

#include "bench/Ratios.h"
#include "modules/ModuleHandler.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kCallsPerRun = 10000;

JSCValue* emptyNative(GPtrArray*, gpointer)
{
    return jsc_value_new_undefined(jsc_context_get_current());
}

void runScript(benchmark::State& state, JSCContext* context, const char* loop)
{
    for (auto _ : state) {
        tvn::ScriptValue result = tvn::ScriptValue::adopt(jsc_context_evaluate(context, loop, -1));
        benchmark::DoNotOptimize(result.get());
    }
    state.counters["calls_per_second"] = benchmark::Counter(double(state.iterations() * kCallsPerRun), benchmark::Counter::kIsRate);
}

void moduleCall(benchmark::State& state)
{
    tvn::GRef<JSCContext> context = tvn::GRef<JSCContext>::adopt(jsc_context_new());
    tvn::ModuleHandler::install(context.get(), 1, 1);
    tvn::ScriptValue setup = tvn::ScriptValue::adopt(jsc_context_evaluate(context.get(), "var m = module('test');", -1));
    runScript(state, context.get(), state.range(0) ? "var h = m.hello; for (var i = 0; i < 10000; ++i) h('x');" : "for (var i = 0; i < 10000; ++i) m.hello('x');");
}

void emptyNativeCall(benchmark::State& state)
{
    tvn::GRef<JSCContext> context = tvn::GRef<JSCContext>::adopt(jsc_context_new());
    tvn::ScriptValue function = tvn::ScriptValue::adopt(
        jsc_value_new_function_variadic(context.get(), "empty", G_CALLBACK(emptyNative), nullptr, nullptr, JSC_TYPE_VALUE));
    jsc_context_set_value(context.get(), "empty", function.get());
    runScript(state, context.get(), "for (var i = 0; i < 10000; ++i) empty('x');");
}

} // namespace

BENCHMARK(moduleCall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(emptyNativeCall)->Unit(benchmark::kMillisecond);
// Calls per second of the empty function / of the module = the module call's time / the empty one's.
TVN_BENCH_RATIO("sync module call time / empty native function", "emptyNativeCall", "moduleCall/0", "calls_per_second");
TVN_BENCH_RATIO("held module function call time / empty native function", "emptyNativeCall", "moduleCall/1", "calls_per_second");
