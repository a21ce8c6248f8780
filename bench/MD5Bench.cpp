// MD5 throughput against OpenSSL's MD5 over the same buffer.

#include "bench/Ratios.h"
#include "util/MD5.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

namespace {

const std::string& buffer()
{
    static const std::string bytes = [] {
        std::string data(1 << 20, '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 2654435761u >> 13);
        return data;
    }();
    return bytes;
}

void md5Ours(benchmark::State& state)
{
    for (auto _ : state) {
        tvn::MD5 md5(buffer());
        benchmark::DoNotOptimize(md5.hexdigest());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer().size()));
}

void md5OpenSsl(benchmark::State& state)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    for (auto _ : state) {
        EVP_Digest(buffer().data(), buffer().size(), digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer().size()));
}

} // namespace

BENCHMARK(md5Ours);
BENCHMARK(md5OpenSsl);
TVN_BENCH_RATIO("md5 throughput, ours / OpenSSL (1 MiB)", "md5Ours", "md5OpenSsl", "bytes_per_second");
