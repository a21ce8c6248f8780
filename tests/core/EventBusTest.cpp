#include "core/EventBus.h"

#include <gtest/gtest.h>
#include <thread>

using namespace tvn;
using EventBus::Bus;
using EventBus::Message;
using EventBus::Value;

namespace {

// Records what a subscriber saw: the message name and its first value as text.
struct Recorder {
    std::vector<std::string> seen;
    EventBus::Subscription subscribe(const std::string& name, const std::string& tag = "")
    {
        return Bus::instance().subscribe(name, [this, tag](const Message* message) {
            std::string entry = tag + message->name;
            if (!message->values->empty() && std::holds_alternative<std::string>(message->values->front()))
                entry += ":" + std::get<std::string>(message->values->front());
            seen.push_back(entry);
        });
    }
};

} // namespace

TEST(TaskQueue, RunsInOrderIncludingTasksPostedWhileRunning)
{
    TaskQueue queue;
    std::vector<int> order;
    queue.post([&] { order.push_back(1); queue.post([&] { order.push_back(3); }); });
    queue.post([&] { order.push_back(2); });
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue.run(), 3u);
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(queue.run(), 0u);
}

TEST(TaskQueue, RunOneAndClear)
{
    TaskQueue queue;
    int ran = 0;
    EXPECT_FALSE(queue.runOne());
    for (int i = 0; i < 3; ++i)
        queue.post([&] { ++ran; });
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(ran, 1);
    queue.clear();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(queue.runOne());
    EXPECT_EQ(ran, 1);
}

TEST(EventBus, ValueAlternativesInOrder)
{
    EXPECT_EQ(Value(true).index(), 0u);
    EXPECT_EQ(Value(int64_t(1)).index(), 1u);
    EXPECT_EQ(Value(uint64_t(1)).index(), 2u);
    EXPECT_EQ(Value(1.5).index(), 3u);
    EXPECT_EQ(Value(std::string("s")).index(), 4u);
    EXPECT_EQ(Value(int32_t(1)).index(), 5u);
    EXPECT_EQ(Value(static_cast<void*>(nullptr)).index(), 6u);
    EXPECT_THROW(std::get<int64_t>(Value(int32_t(1))), std::bad_variant_access);
}

TEST(EventBus, DeliveryWaitsForThePumpAndKeepsOrder)
{
    Recorder recorder;
    auto first = recorder.subscribe("onScanDlls", "1.");
    auto second = recorder.subscribe("onScanDlls", "2.");
    auto other = recorder.subscribe("onCancelTask");
    Bus::instance().publish("onScanDlls", { std::string("a") });
    Bus::instance().publish("onCancelTask");
    Bus::instance().publish("nobody listens");
    Bus::instance().publish("onScanDlls", { std::string("b") });
    EXPECT_TRUE(recorder.seen.empty());
    EXPECT_EQ(Bus::instance().queue().run(), 4u);
    EXPECT_EQ(recorder.seen, (std::vector<std::string> {
        "1.onScanDlls:a", "2.onScanDlls:a", "onCancelTask", "1.onScanDlls:b", "2.onScanDlls:b" }));
}

TEST(EventBus, CancelTaskCarriesNoValues)
{
    size_t count = 99;
    auto handle = Bus::instance().subscribe("onCancelTask", [&](const Message* message) { count = message->values->size(); });
    Bus::instance().publish("onCancelTask", {});
    Bus::instance().queue().run();
    EXPECT_EQ(count, 0u);
}

TEST(EventBus, ReleasedSubscriptionStopsAtTheNextMessage)
{
    Recorder recorder;
    auto kept = recorder.subscribe("onSize", "kept.");
    auto released = recorder.subscribe("onSize", "released.");
    Bus::instance().publish("onSize", { std::string("1") });
    Bus::instance().queue().run();
    released.reset();
    Bus::instance().publish("onSize", { std::string("2") });
    Bus::instance().queue().run();
    EXPECT_EQ(recorder.seen, (std::vector<std::string> { "kept.onSize:1", "released.onSize:1", "kept.onSize:2" }));
}

// A subscriber released by an earlier subscriber of the same message is skipped, not called.
TEST(EventBus, SubscriberReleasedDuringDeliveryIsSkipped)
{
    EventBus::Subscription victim;
    int victimCalls = 0;
    auto killer = Bus::instance().subscribe("x", [&](const Message*) { victim.reset(); });
    victim = Bus::instance().subscribe("x", [&](const Message*) { ++victimCalls; });
    Bus::instance().publish("x");
    Bus::instance().queue().run();
    EXPECT_EQ(victimCalls, 0);
}

TEST(EventBus, SubscriberMayPublishAndSubscribeDuringDelivery)
{
    Recorder recorder;
    EventBus::Subscription late;
    auto relay = Bus::instance().subscribe("first", [&](const Message*) {
        Bus::instance().publish("second", { std::string("relayed") });
        late = recorder.subscribe("second", "late.");
    });
    Bus::instance().publish("first");
    EXPECT_EQ(Bus::instance().queue().run(), 2u); // the relayed message goes out in the same pass
    EXPECT_EQ(recorder.seen, (std::vector<std::string> { "late.second:relayed" }));
}

// Each publisher's messages arrive in its own order, while a third thread pumps.
TEST(EventBus, OrderAcrossPublishingThreads)
{
    constexpr int kPerThread = 2000;
    std::vector<std::pair<int, int>> seen;
    auto handle = Bus::instance().subscribe("work", [&](const Message* message) {
        seen.emplace_back(std::get<int32_t>((*message->values)[0]), std::get<int32_t>((*message->values)[1]));
    });
    std::atomic<bool> done { false };
    std::thread pump([&] {
        while (!done.load())
            Bus::instance().queue().run();
        Bus::instance().queue().run();
    });
    std::vector<std::thread> publishers;
    for (int32_t thread = 0; thread < 2; ++thread) {
        publishers.emplace_back([thread] {
            for (int32_t i = 0; i < kPerThread; ++i)
                Bus::instance().publish("work", { thread, i });
        });
    }
    for (auto& publisher : publishers)
        publisher.join();
    done = true;
    pump.join();

    ASSERT_EQ(seen.size(), 2u * kPerThread);
    int next[2] = { 0, 0 };
    for (const auto& [thread, i] : seen)
        ASSERT_EQ(i, next[thread]++);
}

TEST(SubscriptionTable, DeadEntriesGoAtDeliveryAndInTheMinuteSweep)
{
    EventBus::SubscriptionTable table;
    auto a = std::make_shared<EventBus::Subscriber>();
    auto b = std::make_shared<EventBus::Subscriber>();
    auto c = std::make_shared<EventBus::Subscriber>();
    table.add("a", a);
    table.add("b", b);
    table.add("b", c);
    a.reset();
    b.reset();
    EXPECT_EQ(table.size(), 3u);

    // Delivery of "b" drops b's dead entry; "a" waits for the sweep.
    EXPECT_EQ(table.collect("b", 1000).size(), 1u);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.collect("other", 60000).size(), 0u);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.collect("other", 60001).size(), 0u); // more than a minute since 0
    EXPECT_EQ(table.size(), 1u);

    EXPECT_EQ(table.collect("b", 60002).front().lock(), c);
}
