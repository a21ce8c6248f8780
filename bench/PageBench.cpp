// The real page: time from process start to its first paint, and the memory of the whole process
// tree (PSS) once it is idle, tvn against a minimal WebKitGTK program showing the same page.
// Goals: first paint at most 1.1 times the floor's; memory at most 0.7 times the floor's. The
// memory is also compared with the minimal program given tvn's WebKit settings: tvn's own cost.
// Both load the built page from one local server, inlined into one document; the minimal program
// gets a stand-in for `module` so that the page does the same work in both. Needs a display.

#include "bench/AppCopy.h"
#include "bench/Ratios.h"
#include "tests/support/PageServer.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <fstream>
#include <regex>
#include <sys/wait.h>
#include <thread>

namespace {

const std::filesystem::path kDist = TVN_PAGE_DIST;

// Reports once the page has put up its frame (or its error), two frames later: after the paint.
// The report says which: a page that put up its error did far less work than one that started.
const char* kPaintReport = R"(<script>
new MutationObserver(function (changes, observer) {
    var shown = document.querySelector('.title-bar, .fatal');
    if (!shown) return;
    observer.disconnect();
    var report = shown.classList.contains('fatal') ? 'error:' + encodeURIComponent(shown.textContent) : 'painted';
    requestAnimationFrame(function () { requestAnimationFrame(function () { fetch('/report?' + report); }); });
}).observe(document.documentElement, { childList: true, subtree: true });
</script>)";

// What the modules answer, for the program that has none: enough for the page to start as it does
// in tvn (the properties it reads at start are answered as properties).
const char* kModuleStandIn = R"(<script>
window.module = function (name) {
    var answers = { argv: [], languages: ['C.UTF-8', 'C'], usageReports: true, channel: 'bench', getConfig: '', osVersion: { major: 6, minor: 1, build: 1, platformId: 2 },
        arch: 64, getAppPath: '/bench', getAppDataPath: '/bench', getTempPath: '/tmp', getFiles: [] };
    return new Proxy({}, { get: function (target, key) {
        if (key in target) return target[key];
        if (key === 'argv' || key === 'languages' || key === 'usageReports' || key === 'channel') return answers[key];
        if (key === 'getDeviceIdAsync') return function () { return { then: function (f) { f({ deviceId: 'bench' }); } }; };
        return function () { return answers[key]; };
    } });
};
</script>)";

// The built page as one document: its script and style inline, `head` added before them.
std::string inlinePage(const std::string& head)
{
    std::string html = tvn::test::readFile(kDist / "index.html");
    std::smatch match;
    if (std::regex_search(html, match, std::regex(R"re(<script type="module" crossorigin src="\./([^"]+)"></script>)re")))
        html.replace(match.position(0), match.length(0), "<script type=\"module\">" + tvn::test::readFile(kDist / match[1].str()) + "</script>");
    if (std::regex_search(html, match, std::regex(R"re(<link rel="stylesheet" crossorigin href="\./([^"]+)">)re")))
        html.replace(match.position(0), match.length(0), "<style>" + tvn::test::readFile(kDist / match[1].str()) + "</style>");
    const size_t headEnd = html.find("</title>");
    return html.insert(headEnd + 8, head);
}

tvn::test::PageServer& server()
{
    static tvn::test::PageServer instance;
    static const bool ready = [] {
        instance.addPage("tvn.html", inlinePage(kPaintReport));
        instance.addPage("minimal.html", inlinePage(std::string(kModuleStandIn) + kPaintReport));
        instance.addPage("catalog.json", tvn::test::readFile(kDist / "catalog.json"));
        return true;
    }();
    (void)ready;
    return instance;
}

// The PSS of a process and all its descendants, in bytes.
long long treePss(pid_t root)
{
    long long total = 0;
    std::vector<pid_t> pending = { root };
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        for (std::string line; std::getline(rollup, line);)
            if (line.rfind("Pss:", 0) == 0)
                total += std::stoll(line.substr(4)) * 1024;
        for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", std::filesystem::directory_options::skip_permission_denied)) {
            std::ifstream children(task.path() / "children");
            for (pid_t child; children >> child;)
                pending.push_back(child);
        }
    }
    return total;
}

struct Run {
    double secondsToPaint = -1;
    std::string pageError; // what the page put up instead of starting, if it did
    long long idlePss = 0;
};

// Starts the program, waits for the paint report, then for the tree's memory to settle (two
// samples half a second apart within 1%), and ends it.
Run runOnce(const std::vector<std::string>& command, const std::filesystem::path& configFolder)
{
    server().clearReports();
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = tvn::test::startProgram(command, configFolder);
    if (const auto painted = server().waitForReports(1, std::chrono::seconds(60))) {
        run.secondsToPaint = std::chrono::duration<double>(*painted - start).count();
        if (const std::string report = server().reports().front(); report.rfind("error:", 0) == 0)
            run.pageError = report.substr(6);
        long long last = treePss(child);
        for (int sample = 0; sample < 40; ++sample) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const long long now = treePss(child);
            const bool settled = std::llabs(now - last) * 100 <= last;
            last = now;
            if (settled)
                break;
        }
        run.idlePss = last;
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return run;
}

void measure(benchmark::State& state, const std::vector<std::string>& command, const std::filesystem::path& configFolder)
{
    long long pss = 0;
    for (auto _ : state) {
        const Run run = runOnce(command, configFolder);
        if (run.secondsToPaint < 0) {
            state.SkipWithError("the page never painted");
            return;
        }
        if (!run.pageError.empty()) {
            state.SkipWithError(("the page put up its error instead of starting: " + run.pageError).c_str());
            return;
        }
        state.SetIterationTime(run.secondsToPaint);
        pss += run.idlePss;
    }
    state.counters["paints_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["idle_pss_mib"] = double(pss) / double(state.iterations()) / (1024.0 * 1024.0);
}

void minimalWebKitPage(benchmark::State& state)
{
    tvn::test::TempDir dir;
    measure(state, { TVN_MINIMAL_BROWSER, server().url() + "/minimal.html" }, dir.path());
}

// The same program given tvn's WebKit settings: what is left of the difference is tvn's own.
void minimalWebKitPageAsTvn(benchmark::State& state)
{
    tvn::test::TempDir dir;
    measure(state, { TVN_MINIMAL_BROWSER, "--tvn-settings", server().url() + "/minimal.html" }, dir.path());
}

void tvnPage(benchmark::State& state)
{
    tvn::test::TempDir dir;
    const auto program = tvn::bench::copyApplication(dir.path(), server().url() + "/tvn.html");
    tvn::test::writeFile(dir / "config" / "tvn" / "config.ini", "[system]\nwineprefix = none\n");
    measure(state, { program.string() }, dir / "config");
}

} // namespace

BENCHMARK(minimalWebKitPage)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(minimalWebKitPageAsTvn)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(tvnPage)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
TVN_BENCH_RATIO("real page, start to first paint, tvn / minimal WebKitGTK", "minimalWebKitPage/iterations:5/manual_time",
    "tvnPage/iterations:5/manual_time", "paints_per_second");
TVN_BENCH_RATIO("real page, idle memory (PSS of the process tree), tvn / minimal WebKitGTK", "tvnPage/iterations:5/manual_time",
    "minimalWebKitPage/iterations:5/manual_time", "idle_pss_mib");
TVN_BENCH_RATIO("real page, idle memory (PSS of the process tree), tvn / minimal WebKitGTK given tvn's settings",
    "tvnPage/iterations:5/manual_time", "minimalWebKitPageAsTvn/iterations:5/manual_time", "idle_pss_mib");
