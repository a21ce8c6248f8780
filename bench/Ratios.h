// Benchmarks here state their goals as ratios between two measurements of one run. A benchmark
// names the pair in its own file (TVN_BENCH_RATIO); main() prints each ratio after the table.
#pragma once

#include <string>
#include <vector>

namespace tvn::bench {

struct Ratio {
    std::string label;
    std::string numerator;   // benchmark names as Google Benchmark reports them
    std::string denominator;
    std::string counter;     // the counter compared, e.g. "bytes_per_second"
};

std::vector<Ratio>& ratios();

struct RatioRegistration {
    explicit RatioRegistration(Ratio ratio) { ratios().push_back(std::move(ratio)); }
};

} // namespace tvn::bench

#define TVN_BENCH_CONCAT2(a, b) a##b
#define TVN_BENCH_CONCAT(a, b) TVN_BENCH_CONCAT2(a, b)
#define TVN_BENCH_RATIO(...) \
    static ::tvn::bench::RatioRegistration TVN_BENCH_CONCAT(ratio_, __LINE__)({ __VA_ARGS__ })
