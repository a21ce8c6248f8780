// file.listDir, recursive, over 100,000 entries: from the call to the last callback, against
// find(1) listing the same tree. The goal: at most 2 times as long.

#include "bench/Ratios.h"
#include "bench/ScriptRuns.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 999; // with the folders themselves: 100,000 entries

// The tree, made once per run and removed at exit.
const std::filesystem::path& tree()
{
    static const struct Tree {
        std::filesystem::path root = std::filesystem::temp_directory_path() / ("tvn-listdir-bench-" + std::to_string(::getpid()));
        Tree()
        {
            for (int folder = 0; folder < kFolders; ++folder) {
                const std::filesystem::path path = root / ("folder" + std::to_string(folder));
                std::filesystem::create_directories(path);
                for (int file = 0; file < kFilesPerFolder; ++file)
                    std::ofstream(path / ("file" + std::to_string(file) + ".txt"));
            }
        }
        ~Tree() { std::filesystem::remove_all(root); }
    } made;
    return made.root;
}

void listDir(benchmark::State& state)
{
    tvn::bench::runUntilFinished(state, "var entries = 0; module('file').listDir({ path: " + nlohmann::json(tree().string()).dump()
        + ", recursive: true, callback: function (done, isDir, path) { if (done) finished = true; else ++entries; } })", "entries");
}

void findTree(benchmark::State& state)
{
    const std::string command = "find '" + tree().string() + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(listDir)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(findTree)->Unit(benchmark::kMillisecond)->UseRealTime();
// Runs per second of find / of listDir = listDir's time / find's.
TVN_BENCH_RATIO("listDir recursive 100,000 entries, time / find", "findTree", "listDir", "runs_per_second");
