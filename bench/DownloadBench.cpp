// Downloading a 50 MiB file from the reference server on loopback: fetchUrlToFile, and the page's
// http.download with a progress callback counting its events (from the call to the final event),
// against the curl command fetching it to a file (goals: at most 1.1 and 1.15 times as long), and
// against curl followed by a flush of its file to disk, the floor of a download that is durable.

#include "bench/Ratios.h"
#include "bench/ScriptRuns.h"
#include "net/Download.h"
#include "tools/server/ReferenceServer.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <unistd.h>

namespace {

constexpr size_t kFileSize = 50u << 20;

struct Fixture {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tvn-bench-download-" + std::to_string(getpid()));
    std::unique_ptr<tvn::server::ReferenceServer> server;

    Fixture()
    {
        std::filesystem::create_directories(folder / "catalog");
        std::filesystem::create_directories(folder / "config" / "tvn");
        std::ofstream(folder / "catalog" / "big.bin", std::ios::binary) << std::string(kFileSize, 'd');
        server = std::make_unique<tvn::server::ReferenceServer>(
            tvn::server::ReferenceServerOptions { folder / "state", folder / "catalog", {}, "t", {} });
        server->start();
        // fetchUrlToFile trusts the reference authority through the configuration, as the program does.
        std::ofstream(folder / "config" / "tvn" / "config.ini") << "[server]\nca = " << server->authorityFile().string() << "\n";
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        // One download before any is measured, so that the first benchmark does not pay for a cold
        // server and page cache.
        tvn::fetchUrlToFile({}, {}, url(), folder / "warm.bin");
        ::sync(); // and nothing of the set-up still on its way to the disk
    }
    ~Fixture()
    {
        server->stop();
        std::filesystem::remove_all(folder);
    }

    std::string url() const { return "https://" + server->address() + "/files/big.bin"; }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void fetchThroughTheProgram(benchmark::State& state)
{
    const std::string url = fixture().url();
    const auto target = fixture().folder / "ours.bin";
    for (auto _ : state) {
        if (tvn::fetchUrlToFile({}, {}, url, target) != 0)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void fetchWithCurlCommand(benchmark::State& state)
{
    const std::string command = "curl -s --fail --cacert '" + fixture().server->authorityFile().string() + "' -o '"
        + (fixture().folder / "curl.bin").string() + "' '" + fixture().url() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void downloadThroughThePage(benchmark::State& state)
{
    const std::string target = (fixture().folder / "page.bin").string();
    tvn::bench::runUntilFinished(state, "var events = 0; module('http').download({ url: " + nlohmann::json(fixture().url()).dump() + ", path: "
        + nlohmann::json(target).dump() + ", progress: function (e) { ++events; if (e.complete) { finished = true; if (e.error) throw new Error('failed'); } } })",
        "events");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void fetchWithCurlAndFlush(benchmark::State& state)
{
    const std::string file = (fixture().folder / "curl-flushed.bin").string();
    const std::string command = "curl -s --fail --cacert '" + fixture().server->authorityFile().string() + "' -o '" + file + "' '" + fixture().url()
        + "' && sync '" + file + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

} // namespace

BENCHMARK(fetchThroughTheProgram)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(fetchWithCurlCommand)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(downloadThroughThePage)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(fetchWithCurlAndFlush)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
// Bytes per second of curl / of the program = the program's time / curl's.
TVN_BENCH_RATIO("50 MiB download time, fetchUrlToFile / curl command", "fetchWithCurlCommand/min_time:3.000/real_time",
    "fetchThroughTheProgram/min_time:3.000/real_time", "bytes_per_second");
TVN_BENCH_RATIO("50 MiB download time, http.download with progress / curl command", "fetchWithCurlCommand/min_time:3.000/real_time",
    "downloadThroughThePage/min_time:3.000/real_time", "bytes_per_second");
TVN_BENCH_RATIO("50 MiB download time, curl and a flush of its file / curl command", "fetchWithCurlCommand/min_time:3.000/real_time",
    "fetchWithCurlAndFlush/min_time:3.000/real_time", "bytes_per_second");
