// Runs the benchmarks, then prints every registered ratio of two results' counters.

#include "bench/Ratios.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string_view>

namespace tvn::bench {

std::vector<Ratio>& ratios()
{
    static std::vector<Ratio> list;
    return list;
}

namespace {

// The console table as usual, plus each run's counters kept by name.
class RecordingReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            // Kept under the full name, without the "/real_time" that UseRealTime() adds (a ratio
            // names a benchmark as its file registers it: "execOutput/0"), and under the bare one.
            const std::string full = run.benchmark_name();
            std::string registered = full;
            if (constexpr std::string_view suffix = "/real_time"; registered.ends_with(suffix))
                registered.resize(registered.size() - suffix.size());
            for (const auto& [name, counter] : run.counters) {
                for (const std::string& key : { full, registered, full.substr(0, full.find('/')) })
                    m_counters[key][name] = counter.value;
            }
        }
    }

    double counter(const std::string& benchmark, const std::string& name) const
    {
        const auto found = m_counters.find(benchmark);
        if (found == m_counters.end())
            return 0;
        const auto value = found->second.find(name);
        return value == found->second.end() ? 0 : value->second;
    }

private:
    std::map<std::string, std::map<std::string, double>> m_counters;
};

} // namespace
} // namespace tvn::bench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    tvn::bench::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    for (const auto& ratio : tvn::bench::ratios()) {
        const double numerator = reporter.counter(ratio.numerator, ratio.counter);
        const double denominator = reporter.counter(ratio.denominator, ratio.counter);
        if (numerator > 0 && denominator > 0)
            std::printf("ratio %s: %.3f\n", ratio.label.c_str(), numerator / denominator);
    }
    benchmark::Shutdown();
    return 0;
}
