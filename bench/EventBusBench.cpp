// Event-bus throughput from publish to delivery: one publisher thread, one pumping thread. The
// baseline is the bare queue the bus delivers through (post and run of a callable), so the ratio
// shows what the bus's own work (message building, subscriber lookup, weak references) costs.

#include "bench/Ratios.h"
#include "core/EventBus.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

constexpr int64_t kMessages = 100000;

// Runs `publishOne` kMessages times on a publisher thread while this thread pumps `queue` until
// `delivered` reaches kMessages.
template<typename Publish>
void publishAndPump(tvn::TaskQueue& queue, const std::atomic<int64_t>& delivered, Publish publishOne)
{
    std::thread publisher([&] {
        for (int64_t i = 0; i < kMessages; ++i)
            publishOne(i);
    });
    while (delivered.load(std::memory_order_relaxed) < kMessages)
        queue.run();
    publisher.join();
}

void eventBusPublishToDelivery(benchmark::State& state)
{
    auto& bus = tvn::EventBus::Bus::instance();
    std::atomic<int64_t> delivered { 0 };
    auto subscription = bus.subscribe("onRepairDlls", [&](const tvn::EventBus::Message*) {
        delivered.fetch_add(1, std::memory_order_relaxed);
    });
    for (auto _ : state) {
        delivered = 0;
        publishAndPump(bus.queue(), delivered, [&](int64_t i) {
            bus.publish("onRepairDlls", { std::string("file.dll"), int32_t(0), i });
        });
    }
    state.counters["messages_per_second"] = benchmark::Counter(double(state.iterations() * kMessages), benchmark::Counter::kIsRate);
}

void taskQueueBaseline(benchmark::State& state)
{
    tvn::TaskQueue queue;
    std::atomic<int64_t> delivered { 0 };
    for (auto _ : state) {
        delivered = 0;
        publishAndPump(queue, delivered, [&](int64_t) {
            queue.post([&] { delivered.fetch_add(1, std::memory_order_relaxed); });
        });
    }
    state.counters["messages_per_second"] = benchmark::Counter(double(state.iterations() * kMessages), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(eventBusPublishToDelivery)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(taskQueueBaseline)->UseRealTime()->Unit(benchmark::kMillisecond);
TVN_BENCH_RATIO("event bus messages/s, bus / bare queue", "eventBusPublishToDelivery/real_time", "taskQueueBaseline/real_time", "messages_per_second");
