// Time from process start to the page's first script: tvn (from a copy of its application folder,
// url.txt naming the page) against a minimal WebKitGTK program loading the same page. The goal:
// at most 1.3 times the floor, also when the reporting server takes the start reports' connections
// and never answers (a firewall that swallows packets). Needs a display: run it under xvfb-run.

#include "bench/AppCopy.h"
#include "bench/Ratios.h"
#include "tests/support/PageServer.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
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

// A server that takes connections (the kernel completes them) and never says a word.
class SilentServer {
public:
    SilentServer()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), length);
        listen(m_fd, 64);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
};

void tvnStart(benchmark::State& state, bool silentReportServer)
{
    tvn::test::TempDir dir;
    const auto program = tvn::bench::copyApplication(dir.path(), server().url() + "/index.html");
    SilentServer silent;
    if (silentReportServer)
        tvn::test::writeFile(dir / "config" / "tvn" / "config.ini", "[server]\nreport = " + silent.address() + "\n");
    measure(state, { program.string() }, dir / "config");
}

void tvnStart(benchmark::State& state) { tvnStart(state, false); }
void tvnStartSilentReportServer(benchmark::State& state) { tvnStart(state, true); }

void minimalWebKitStart(benchmark::State& state)
{
    tvn::test::TempDir dir;
    measure(state, { TVN_MINIMAL_BROWSER, server().url() + "/index.html" }, dir.path());
}

} // namespace

BENCHMARK(minimalWebKitStart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(tvnStart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(tvnStartSilentReportServer)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
// Starts per second of the floor / of tvn = tvn's time to the first script / the floor's.
TVN_BENCH_RATIO("start to first script, tvn / minimal WebKitGTK", "minimalWebKitStart/iterations:10/manual_time",
    "tvnStart/iterations:10/manual_time", "starts_per_second");
TVN_BENCH_RATIO("start to first script with a silent report server, tvn / minimal WebKitGTK", "minimalWebKitStart/iterations:10/manual_time",
    "tvnStartSilentReportServer/iterations:10/manual_time", "starts_per_second");
