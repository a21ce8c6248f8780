// Serving a pack entry through the app-scheme request rules (open the pack, check the index
// signature, find the entry, read it, check its digest, inflate it) against inflating the same
// zlib stream directly with zlib. The goal: at least 0.8 of zlib's throughput, for 1 MiB and
// 10 MiB entries of text like the page's scripts. Measured in wall-clock time, since serving may
// digest on a second thread.

#include "bench/Ratios.h"
#include "browser/AppSchemeRequest.h"
#include "tools/pak/PakWriter.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

// Script-like text: identifiers, keywords and punctuation drawn at random, compressing about as
// well as minified JavaScript does.
std::string scriptText(size_t size)
{
    static const std::vector<std::string> words = { "function", "return", "const", "let", "this", "value", "render",
        "props", "state", "=>", "{", "}", "(", ")", ";", ".", "=", "if", "else", "null", "true", "module", "export",
        "import", "document", "window", "length", "push", "map", "filter", "0", "1", "\"div\"", "\"span\"" };
    std::mt19937 random(42);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += words[random() % words.size()];
        text += random() % 4 ? ' ' : '\n';
        if (random() % 16 == 0)
            text += "id" + std::to_string(random() % 100000);
    }
    text.resize(size);
    return text;
}

struct Fixture {
    std::filesystem::path folder;
    std::string smallStream, largeStream;

    Fixture()
    {
        folder = std::filesystem::temp_directory_path() / ("tvn-bench-pak-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        const std::string small = scriptText(1 << 20), large = scriptText(10 << 20);
        smallStream = tvn::pak::deflateStream(small);
        largeStream = tvn::pak::deflateStream(large);
        std::ofstream(folder / "dist.pak", std::ios::binary)
            << tvn::pak::buildPak({ { "small.js", small }, { "large.js", large } });
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void serveThroughRequestRules(benchmark::State& state, const char* url, size_t size)
{
    const std::filesystem::path& folder = fixture().folder;
    for (auto _ : state) {
        auto response = tvn::answerAppRequest(url, folder);
        if (!response || response->body.size() != size)
            state.SkipWithError("entry not served");
        benchmark::DoNotOptimize(response);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void inflateDirectly(benchmark::State& state, const std::string& stream, size_t size)
{
    for (auto _ : state) {
        std::string out(size, '\0');
        uLongf length = size;
        if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(stream.data()), stream.size()) != Z_OK)
            state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void serve1MiB(benchmark::State& state) { serveThroughRequestRules(state, "app://dist.pak/small.js", 1 << 20); }
void serve10MiB(benchmark::State& state) { serveThroughRequestRules(state, "app://dist.pak/large.js", 10 << 20); }
void zlib1MiB(benchmark::State& state) { inflateDirectly(state, fixture().smallStream, 1 << 20); }
void zlib10MiB(benchmark::State& state)
{
    state.counters["stored_ratio"] = double(fixture().largeStream.size()) / (10 << 20);
    inflateDirectly(state, fixture().largeStream, 10 << 20);
}

} // namespace

BENCHMARK(serve1MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(zlib1MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(serve10MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(zlib10MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
TVN_BENCH_RATIO("pack entry served / zlib inflate (1 MiB)", "serve1MiB/min_time:2.000/real_time", "zlib1MiB/min_time:2.000/real_time", "bytes_per_second");
TVN_BENCH_RATIO("pack entry served / zlib inflate (10 MiB)", "serve10MiB/min_time:2.000/real_time", "zlib10MiB/min_time:2.000/real_time", "bytes_per_second");
