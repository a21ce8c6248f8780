// The download cache and resuming, on a 50 MiB file from the reference server on loopback:
// - a repair's file served from the cache (fetchFile, the entry's digest checked as it is copied)
//   against `cp` of the same file (goal: at most 1.2 times as long), and against `cp` followed by
//   a flush of the copy to disk: the repair replaces its file durably, so that floor is the disk's;
// - a download cut at half and resumed: the bytes the server sends for the second attempt, as a
//   share of the file (goal: at most 0.55).

#include "bench/Ratios.h"
#include "net/DownloadCache.h"
#include "net/FetchFile.h"
#include "tools/server/ReferenceServer.h"
#include "util/Sha256.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <unistd.h>

namespace {

constexpr size_t kFileSize = 50u << 20;

struct Fixture {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("tvn-bench-cache-" + std::to_string(getpid()));
    std::unique_ptr<tvn::server::ReferenceServer> server;
    tvn::DownloadAddress address;
    std::unique_ptr<tvn::DownloadCache> cache;

    Fixture()
    {
        std::filesystem::create_directories(folder / "catalog");
        std::filesystem::create_directories(folder / "config" / "tvn");
        std::string content(kFileSize, 'c');
        for (size_t i = 0; i < content.size(); i += 4096)
            content[i] = static_cast<char>(i >> 12);
        std::ofstream(folder / "catalog" / "big.bin", std::ios::binary) << content;
        server = std::make_unique<tvn::server::ReferenceServer>(
            tvn::server::ReferenceServerOptions { folder / "state", folder / "catalog", {}, "t", {} });
        server->start();
        std::ofstream(folder / "config" / "tvn" / "config.ini") << "[server]\nca = " << server->authorityFile().string() << "\n";
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        address = { "https://" + server->address() + "/files/big.bin", tvn::sha256Hex(content), kFileSize, {} };
        cache = std::make_unique<tvn::DownloadCache>(folder / "cache", 4096ull << 20);
        // The entry made once, as the first repair makes it.
        tvn::fetchFile(address, folder / "first.bin", {}, {}, *cache);
        ::sync();
    }
    ~Fixture()
    {
        server->stop();
        std::filesystem::remove_all(folder);
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void repairFromTheCache(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const tvn::FetchResult result = tvn::fetchFile(f.address, f.folder / "repaired.bin", {}, {}, *f.cache);
        if (result.code != 0 || !result.fromCache)
            state.SkipWithError("not from the cache");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void copyWithCp(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::string command = "cp '" + f.cache->entryPath(f.address.sha256).string() + "' '" + (f.folder / "copied.bin").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void copyWithCpAndFlush(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::string copy = (f.folder / "copied-flushed.bin").string();
    const std::string command = "cp '" + f.cache->entryPath(f.address.sha256).string() + "' '" + copy + "' && sync '" + copy + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The bytes the server sends for a whole download, then for the attempt after a cut at half.
void wholeDownload(benchmark::State& state)
{
    Fixture& f = fixture();
    const tvn::DownloadCache fresh(f.folder / "fresh-cache", 4096ull << 20);
    uint64_t sent = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(fresh.folder());
        const uint64_t before = f.server->fileBytesSent();
        if (tvn::fetchFile(f.address, f.folder / "whole.bin", {}, {}, fresh).code != 0)
            state.SkipWithError("download failed");
        sent = f.server->fileBytesSent() - before;
    }
    state.counters["bytes_sent"] = static_cast<double>(sent);
}

void resumedAfterACut(benchmark::State& state)
{
    Fixture& f = fixture();
    const tvn::DownloadCache fresh(f.folder / "cut-cache", 4096ull << 20);
    uint64_t sent = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(fresh.folder());
        f.server->setBehaviour("files", tvn::server::Behaviour::cutAfter(kFileSize / 2));
        if (tvn::fetchFile(f.address, f.folder / "resumed.bin", {}, {}, fresh, { 1, std::chrono::milliseconds(0) }).code == 0)
            state.SkipWithError("the cut did not happen");
        const uint64_t before = f.server->fileBytesSent();
        if (tvn::fetchFile(f.address, f.folder / "resumed.bin", {}, {}, fresh, { 1, std::chrono::milliseconds(0) }).code != 0)
            state.SkipWithError("the resumed download failed");
        sent = f.server->fileBytesSent() - before;
    }
    state.counters["bytes_sent"] = static_cast<double>(sent);
}

} // namespace

BENCHMARK(repairFromTheCache)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(copyWithCp)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(copyWithCpAndFlush)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(wholeDownload)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(resumedAfterACut)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);
TVN_BENCH_RATIO("50 MiB repair from the download cache / cp of the file", "copyWithCp/min_time:3.000/real_time",
    "repairFromTheCache/min_time:3.000/real_time", "bytes_per_second");
TVN_BENCH_RATIO("50 MiB repair from the download cache / cp of the file and a flush of the copy", "copyWithCpAndFlush/min_time:3.000/real_time",
    "repairFromTheCache/min_time:3.000/real_time", "bytes_per_second");
TVN_BENCH_RATIO("50 MiB download cut at half: bytes sent for the second attempt / for a whole one",
    "resumedAfterACut/iterations:2/real_time", "wholeDownload/iterations:2/real_time", "bytes_sent");
