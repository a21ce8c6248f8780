// sys.exec of a child writing 64 MiB, from the call to the final callback, against the same child
// writing to /dev/null (its output never reaches the page). The goal: at most 1.3 times as long in
// whole mode. Argument 1: stream mode (16,000 piece callbacks), for information.

#include "bench/Ratios.h"
#include "core/Paths.h"
#include "bench/ScriptRuns.h"

#include <benchmark/benchmark.h>

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

} // namespace

BENCHMARK(execOutput)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(execToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
// Runs per second of the /dev/null child / of the one read by exec = exec's time / the child's own.
TVN_BENCH_RATIO("exec 64 MiB whole, time / child writing to /dev/null", "execToDevNull", "execOutput/0", "runs_per_second");
TVN_BENCH_RATIO("exec 64 MiB streamed, time / child writing to /dev/null", "execToDevNull", "execOutput/1", "runs_per_second");
