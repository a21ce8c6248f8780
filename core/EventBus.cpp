// Subscription bookkeeping and delivery.

#include "core/EventBus.h"

#include <algorithm>
#include <chrono>

namespace tvn::EventBus {

namespace {

int64_t monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void dropExpired(std::vector<std::weak_ptr<Subscriber>>& subscribers)
{
    std::erase_if(subscribers, [](const auto& subscriber) { return subscriber.expired(); });
}

} // namespace

void SubscriptionTable::add(std::string name, std::weak_ptr<Subscriber> subscriber)
{
    m_entries[std::move(name)].push_back(std::move(subscriber));
}

std::vector<std::weak_ptr<Subscriber>> SubscriptionTable::collect(std::string_view name, int64_t nowMs)
{
    std::vector<std::weak_ptr<Subscriber>> live;
    if (auto found = m_entries.find(name); found != m_entries.end()) {
        dropExpired(found->second);
        live = found->second;
        if (found->second.empty())
            m_entries.erase(found);
    }
    if (nowMs - m_lastSweepMs > kSweepIntervalMs) {
        sweep();
        m_lastSweepMs = nowMs;
    }
    return live;
}

size_t SubscriptionTable::size() const
{
    size_t count = 0;
    for (const auto& [name, subscribers] : m_entries)
        count += subscribers.size();
    return count;
}

void SubscriptionTable::sweep()
{
    for (auto entry = m_entries.begin(); entry != m_entries.end();) {
        dropExpired(entry->second);
        entry = entry->second.empty() ? m_entries.erase(entry) : std::next(entry);
    }
}

Subscription Bus::subscribe(std::string name, Subscriber subscriber)
{
    auto handle = std::make_shared<Subscriber>(std::move(subscriber));
    std::lock_guard lock(m_subscriptionMutex);
    m_table.add(std::move(name), handle);
    return handle;
}

void Bus::publish(std::string name, std::vector<Value> values)
{
    Message message { std::move(name), std::make_shared<const std::vector<Value>>(std::move(values)) };
    m_queue.post([this, message = std::move(message)] { deliver(message); });
}

void Bus::deliver(const Message& message)
{
    std::vector<std::weak_ptr<Subscriber>> subscribers;
    {
        std::lock_guard lock(m_subscriptionMutex);
        subscribers = m_table.collect(message.name, monotonicMs());
    }
    for (const auto& weak : subscribers) {
        // Held for the call: a subscriber released meanwhile is skipped, never called half-gone.
        if (const Subscription subscriber = weak.lock())
            (*subscriber)(&message);
    }
}

} // namespace tvn::EventBus
