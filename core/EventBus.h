// EventBus: named messages published from any thread and delivered, in publication order, on the
// thread that pumps the bus's queue (the web process's main thread).
//
// Delivery is never synchronous: publish() only queues. Subscribers are held weakly; whoever
// subscribes keeps the returned handle, and releasing it ends the subscription from the next
// delivery on. Subscribers run without any bus lock held, so they may subscribe or publish; a
// message published during delivery is delivered in the same pump pass.
//
// Lock order: the queue's mutex and the subscription mutex are never held together.
#pragma once

#include "core/Singleton.h"
#include "core/TaskQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace tvn::EventBus {

// The alternatives in this index order: 0 bool, 1 int64, 2 uint64, 3 double, 4 string, 5 int32,
// 6 pointer. Readers take values by position and index; the wrong alternative throws
// std::bad_variant_access.
using Value = std::variant<bool, int64_t, uint64_t, double, std::string, int32_t, void*>;

// A message's values read as exactly these alternatives, in order: nullopt when the count or any
// alternative differs (a message of another shape is dropped, never half read).
template<typename... Types>
std::optional<std::tuple<Types...>> valuesAs(const std::vector<Value>& values)
{
    if (values.size() != sizeof...(Types))
        return std::nullopt;
    return [&values]<size_t... Index>(std::index_sequence<Index...>) -> std::optional<std::tuple<Types...>> {
        if (!(std::holds_alternative<Types>(values[Index]) && ...))
            return std::nullopt;
        return std::tuple<Types...>(std::get<Types>(values[Index])...);
    }(std::index_sequence_for<Types...>());
}

struct Message {
    std::string name;
    std::shared_ptr<const std::vector<Value>> values;
};

using Subscriber = std::function<void(const Message*)>;
using Subscription = std::shared_ptr<Subscriber>;

// The subscription table: name to weak subscribers, in subscription order.
// Invariant: an entry is only ever removed once its subscriber is gone.
class SubscriptionTable {
public:
    static constexpr int64_t kSweepIntervalMs = 60000;

    void add(std::string name, std::weak_ptr<Subscriber>);

    // The live subscribers of `name`, in subscription order. Drops that name's dead entries and,
    // when more than kSweepIntervalMs have passed since the last sweep, every dead entry.
    std::vector<std::weak_ptr<Subscriber>> collect(std::string_view name, int64_t nowMs);

    size_t size() const;

private:
    void sweep();

    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };
    std::unordered_map<std::string, std::vector<std::weak_ptr<Subscriber>>, NameHash, std::equal_to<>> m_entries;
    int64_t m_lastSweepMs = 0;
};

class Bus : public Singleton<Bus> {
public:
    Subscription subscribe(std::string name, Subscriber);
    void publish(std::string name, std::vector<Value> values = {});

    // The delivery queue; the pump calls run() on it.
    TaskQueue& queue() { return m_queue; }

private:
    friend class Singleton<Bus>;
    Bus() = default;

    void deliver(const Message&);

    TaskQueue m_queue;
    std::mutex m_subscriptionMutex;
    SubscriptionTable m_table;
};

} // namespace tvn::EventBus
