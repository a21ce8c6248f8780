// Time from process start to the page's first script: tvn (from a copy of its application folder,
// url.txt naming the page) against a minimal WebKitGTK program loading the same page. The goal:
// at most 1.3 times the floor. Needs a display: run it under xvfb-run.

#include "bench/Ratios.h"
#include "tests/support/PageServer.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

tvn::test::PageServer& server()
{
    static tvn::test::PageServer instance;
    static const bool ready = [] {
        instance.addPage("index.html", "<!doctype html><script>fetch('/report?started').then(function () { window.close(); });</script>");
        return true;
    }();
    (void)ready;
    return instance;
}

// Runs the program and returns the seconds from its start to the page's report; waits for it to end.
double secondsToFirstScript(const std::vector<std::string>& command, const std::filesystem::path& configFolder)
{
    server().clearReports();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = tvn::test::startProgram(command, configFolder);
    const auto reported = server().waitForReports(1, std::chrono::seconds(60));
    int status = 0;
    if (!reported)
        kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return reported ? std::chrono::duration<double>(*reported - start).count() : -1;
}

void measure(benchmark::State& state, const std::vector<std::string>& command, const std::filesystem::path& configFolder)
{
    for (auto _ : state) {
        const double seconds = secondsToFirstScript(command, configFolder);
        if (seconds < 0) {
            state.SkipWithError("the page never ran");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["starts_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void tvnStart(benchmark::State& state)
{
    tvn::test::TempDir dir;
    const auto app = dir / "app";
    std::filesystem::create_directories(app / "webextensions");
    std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / "tvn", app / "tvn");
    std::filesystem::copy_file(std::filesystem::path(TVN_APP_FOLDER) / "webextensions" / "libtvn-webextension.so",
        app / "webextensions" / "libtvn-webextension.so");
    tvn::test::writeFile(app / "url.txt", server().url() + "/index.html");
    std::filesystem::create_directories(dir / "config");
    measure(state, { (app / "tvn").string() }, dir / "config");
}

void minimalWebKitStart(benchmark::State& state)
{
    tvn::test::TempDir dir;
    measure(state, { TVN_MINIMAL_BROWSER, server().url() + "/index.html" }, dir.path());
}

} // namespace

BENCHMARK(minimalWebKitStart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(tvnStart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
// Starts per second of the floor / of tvn = tvn's time to the first script / the floor's.
TVN_BENCH_RATIO("start to first script, tvn / minimal WebKitGTK", "minimalWebKitStart/iterations:10/manual_time",
    "tvnStart/iterations:10/manual_time", "starts_per_second");
