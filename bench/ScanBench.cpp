// The DLL scan's own cost per item, its 15 ms pacing left out (drive adjustment, path building,
// the existence test over every checkPath entry), against a bare stat() of the same paths.

#include "bench/Ratios.h"
#include "repair/SystemTolvane.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

namespace {

// Items as a page sends them: a few folders each, the file found in the last one or not at all.
std::vector<tvn::DllItem> items()
{
    std::vector<tvn::DllItem> list;
    for (int i = 0; i < 64; ++i) {
        tvn::DllItem item;
        item.fileName = i % 2 ? "libc.so.6" : "no-such-library-" + std::to_string(i) + ".so";
        item.checkPath = { "/nonexistent/a/", "/usr/lib/", "/lib/x86_64-linux-gnu/" };
        list.push_back(item);
    }
    return list;
}

void scanItems(benchmark::State& state)
{
    const auto list = items();
    for (auto _ : state) {
        for (const auto& item : list)
            benchmark::DoNotOptimize(tvn::dllExists(item, "C:\\Windows"));
    }
    state.counters["items_per_second"] = benchmark::Counter(double(state.iterations() * list.size()), benchmark::Counter::kIsRate);
}

void statPaths(benchmark::State& state)
{
    // The same paths the scan tests, built once: only the system calls remain.
    std::vector<std::vector<std::string>> paths;
    for (const auto& item : items()) {
        std::vector<std::string> forItem;
        for (const auto& folder : item.checkPath)
            forItem.push_back(folder + item.fileName);
        paths.push_back(forItem);
    }
    for (auto _ : state) {
        for (const auto& forItem : paths) {
            for (const auto& path : forItem) {
                struct stat info;
                if (::stat(path.c_str(), &info) == 0)
                    break;
            }
        }
    }
    state.counters["items_per_second"] = benchmark::Counter(double(state.iterations() * paths.size()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(scanItems);
BENCHMARK(statPaths);
// Items per second of bare stat / of the scan = the scan's cost per item / stat's.
TVN_BENCH_RATIO("dll scan cost per item / bare stat", "statPaths", "scanItems", "items_per_second");
