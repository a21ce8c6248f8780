// Benchmarks of modules that answer through callbacks: a script started once per iteration, and
// the script thread (the default main context) run until the script says it has finished.
#pragma once

#include "modules/ModuleHandler.h"

#include <benchmark/benchmark.h>
#include <glib.h>
#include <string>

namespace tvn::bench {

// Runs `start` (which sets the global `finished` when its last callback has come) once per
// iteration in a context with `module`; the number `counter` names, read from script at the end,
// becomes a counter, and "runs_per_second" the rate.
inline void runUntilFinished(benchmark::State& state, const std::string& start, const char* counter)
{
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    ModuleHandler::install(context.get(), 1, 1);
    const std::string call = "var finished = false; " + start;
    for (auto _ : state) {
        ScriptValue started = ScriptValue::adopt(jsc_context_evaluate(context.get(), call.c_str(), -1));
        for (;;) {
            g_main_context_iteration(nullptr, TRUE);
            ScriptValue finished = ScriptValue::adopt(jsc_context_evaluate(context.get(), "finished", -1));
            if (jsc_value_to_boolean(finished.get()))
                break;
        }
    }
    ScriptValue value = ScriptValue::adopt(jsc_context_evaluate(context.get(), counter, -1));
    state.counters[counter] = jsc_value_to_double(value.get());
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace tvn::bench
