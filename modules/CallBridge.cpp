// Thenables, pending browser calls and worker-thread calls.

#include "modules/CallBridge.h"

#include "core/Log.h"
#include "modules/ModuleBase.h"

#include <charconv>
#include <glib.h>

namespace tvn {

namespace {

struct HandlerHolder {
    std::shared_ptr<PromiseHandler> handler;
};

void destroyHolder(gpointer holder) { std::unique_ptr<HandlerHolder>(static_cast<HandlerHolder*>(holder)); }

JSCValue* callThen(GPtrArray* arguments, gpointer data)
{
    JSCContext* context = jsc_context_get_current();
    std::vector<ScriptValue> values;
    for (unsigned i = 0; arguments && i < arguments->len; ++i)
        values.push_back(ScriptValue::retain(static_cast<JSCValue*>(g_ptr_array_index(arguments, i))));
    static_cast<HandlerHolder*>(data)->handler->then(context, values);
    return jsc_value_new_undefined(context);
}

CallBridge*& currentBridge()
{
    static CallBridge* bridge = nullptr;
    return bridge;
}

} // namespace

void PromiseHandler::then(JSCContext* context, const std::vector<ScriptValue>& arguments)
{
    if (arguments.size() > 0 && jsc_value_is_function(arguments[0].get()))
        m_success = arguments[0];
    if (arguments.size() > 1 && jsc_value_is_function(arguments[1].get()))
        m_failure = arguments[1];
    m_context = GRef<JSCContext>::retain(context);
}

void PromiseHandler::NotifySuccessful(const nlohmann::json& dictionary)
{
    if (!m_context || !m_success)
        return; // then() never called, or called without a function: the result is dropped
    LOG_INFO << "notify success";
    const ScriptValue argument = dictionary.is_array() ? toScriptArray(m_context.get(), dictionary) : toScriptObject(m_context.get(), dictionary);
    callScriptFunction(m_success.get(), argument.get());
}

ScriptValue makeThenable(JSCContext* context, std::shared_ptr<PromiseHandler> handler)
{
    auto holder = std::make_unique<HandlerHolder>(HandlerHolder { std::move(handler) });
    const ScriptValue then = ScriptValue::adopt(
        jsc_value_new_function_variadic(context, "then", G_CALLBACK(callThen), holder.release(), destroyHolder, JSC_TYPE_VALUE));
    return MakeObject(context, { { "then", then } });
}

CallBridge::CallBridge(SendCall sendCall, PostToScriptThread post)
    : m_sendCall(std::move(sendCall))
    , m_post(std::move(post))
{
}

bool CallBridge::CallBrowserAsync(JSCContext* context, Caller caller, const std::string& method, const std::vector<ScriptValue>& arguments,
    ScriptValue& result)
{
    LOG_INFO << "call browser async, method: " << method;
    const nlohmann::json list = ToListValue(arguments);
    const int64_t callId = m_nextCallId++;
    if (!context)
        return false;
    m_sendCall(caller.browserId, method, list, std::to_string(callId));
    auto handler = std::make_shared<PromiseHandler>();
    (*m_pending)[callId] = { handler, caller };
    result = makeThenable(context, std::move(handler));
    return true;
}

bool CallBridge::CallThreadAsync(JSCContext* context, Caller caller, std::function<nlohmann::json()> work, ScriptValue& result)
{
    LOG_INFO << "call thread async";
    if (!context)
        return false;
    const int64_t callId = m_nextCallId++;
    auto handler = std::make_shared<PromiseHandler>();
    result = makeThenable(context, handler);
    (*m_pending)[callId] = { std::move(handler), caller };
    // The result finds its call through the table, on the script thread, so the handler (and the
    // script values it holds) is only ever used and released there.
    m_threads.start([work = std::move(work), post = m_post, pending = std::weak_ptr<PendingCalls>(m_pending), callId](std::stop_token) {
        post([pending, callId, dictionary = work()] {
            if (const auto calls = pending.lock())
                settle(*calls, callId, dictionary);
        });
    });
    return true;
}

void CallBridge::settle(PendingCalls& calls, int64_t id, const nlohmann::json& dictionary)
{
    const auto pending = calls.find(id);
    if (pending == calls.end())
        return;
    const std::shared_ptr<PromiseHandler> handler = std::move(pending->second.handler);
    calls.erase(pending);
    handler->NotifySuccessful(dictionary);
}

void CallBridge::onResult(const std::string& callId, const nlohmann::json& dictionary)
{
    int64_t id = 0;
    const auto [end, error] = std::from_chars(callId.data(), callId.data() + callId.size(), id);
    if (error != std::errc() || end != callId.data() + callId.size())
        return;
    settle(*m_pending, id, dictionary);
}

namespace {

template<typename Matches>
void dropMatching(CallBridge::PendingCalls& calls, Matches matches)
{
    const size_t dropped = std::erase_if(calls, [&](const auto& entry) { return matches(entry.second.caller); });
    if (dropped) {
        LOG_INFO << "pending calls dropped: " << dropped;
    }
}

} // namespace

void CallBridge::dropPending(Caller caller)
{
    dropMatching(*m_pending, [&](const Caller& other) { return other == caller; });
}

void CallBridge::dropPendingOfPage(int browserId)
{
    dropMatching(*m_pending, [&](const Caller& other) { return other.browserId == browserId; });
}

CallBridge* CallBridge::current() { return currentBridge(); }
void CallBridge::setCurrent(CallBridge* bridge) { currentBridge() = bridge; }

} // namespace tvn
