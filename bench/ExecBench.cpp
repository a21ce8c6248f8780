// sys.exec of a child writing 64 MiB, from the call to the final callback, against the floor that
// counts: a bare JavaScriptCore program that makes a script string of the same 64 MiB from the same
// pieces (the 256 KiB reads of whole mode) and hands it to a callback. The goal: at most 1.3 times
// as long in whole mode. For information: the same child writing to /dev/null (its output never
// reaches the page), and stream mode (16,000 piece callbacks).

#include "bench/Ratios.h"
#include "core/Paths.h"
#include "bench/ScriptRuns.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr const char* kWriter = "yes 0123456789abcdefghijklmnopqrstuvwxyz | head -c 67108864";

void runExec(benchmark::State& state, const std::string& command, bool stream)
{
    tvn::setModulePath(std::filesystem::read_symlink("/proc/self/exe"));
    tvn::bench::runUntilFinished(state, "var received = 0; module('sys').exec({ command: " + nlohmann::json(command).dump()
        + ", stream: " + (stream ? "true" : "false") + ", callback: function (done, text) { received += text.length; if (done) finished = true; } })",
        "received");
}

void execOutput(benchmark::State& state)
{
    runExec(state, std::string("sh -c '") + kWriter + "'", state.range(0) != 0);
}

void execToDevNull(benchmark::State& state)
{
    runExec(state, std::string("sh -c '") + kWriter + " > /dev/null'", false);
}

// The child's bytes, as whole mode reads them: 256 KiB pieces of `yes`'s line.
std::vector<std::string> childPieces()
{
    const std::string line = "0123456789abcdefghijklmnopqrstuvwxyz\n";
    std::string all;
    all.reserve(64u << 20);
    while (all.size() < (64u << 20))
        all += line;
    all.resize(64u << 20);
    std::vector<std::string> pieces;
    for (size_t at = 0; at < all.size(); at += 256 * 1024)
        pieces.push_back(all.substr(at, 256 * 1024));
    return pieces;
}

// The floor: each piece made a script string, the strings joined in script, the text handed to a
// function that reads its length. Nothing else: no child, no pipe, no thread, no check of the text.
void scriptStringFromPieces(benchmark::State& state)
{
    const std::vector<std::string> pieces = childPieces();
    tvn::GRef<JSCContext> context = tvn::GRef<JSCContext>::adopt(jsc_context_new());
    const tvn::ScriptValue join = tvn::ScriptValue::adopt(jsc_context_evaluate(context.get(),
        "(function (parts) { var text = ''; for (var i = 0; i < parts.length; ++i) text += parts[i]; return text; })", -1));
    const tvn::ScriptValue callback = tvn::ScriptValue::adopt(jsc_context_evaluate(context.get(),
        "var received = 0; (function (done, text) { received += text.length; })", -1));
    for (auto _ : state) {
        tvn::GUnique<GPtrArray> values(g_ptr_array_new_with_free_func(g_object_unref));
        for (const std::string& piece : pieces)
            g_ptr_array_add(values.get(), jsc_value_new_string(context.get(), piece.c_str()));
        const tvn::ScriptValue array = tvn::ScriptValue::adopt(jsc_value_new_array_from_garray(context.get(), values.get()));
        const tvn::ScriptValue text = tvn::ScriptValue::adopt(jsc_value_function_call(join.get(), JSC_TYPE_VALUE, array.get(), G_TYPE_NONE));
        const tvn::ScriptValue done = tvn::ScriptValue::adopt(jsc_value_new_boolean(context.get(), TRUE));
        const tvn::ScriptValue ignored = tvn::ScriptValue::adopt(
            jsc_value_function_call(callback.get(), JSC_TYPE_VALUE, done.get(), JSC_TYPE_VALUE, text.get(), G_TYPE_NONE));
    }
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

// Two seconds each: a single run varies by a tenth with what else the two cores do.
BENCHMARK(scriptStringFromPieces)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(execOutput)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(execToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
// Runs per second of the floor / of exec = exec's time / the floor's.
TVN_BENCH_RATIO("exec 64 MiB whole, time / a bare script string of the same pieces", "scriptStringFromPieces/min_time:2.000",
    "execOutput/0/min_time:2.000", "runs_per_second");
// Runs per second of the /dev/null child / of the one read by exec = exec's time / the child's own.
TVN_BENCH_RATIO("exec 64 MiB whole, time / child writing to /dev/null", "execToDevNull", "execOutput/0/min_time:2.000", "runs_per_second");
TVN_BENCH_RATIO("exec 64 MiB streamed, time / child writing to /dev/null", "execToDevNull", "execOutput/1/min_time:2.000", "runs_per_second");
