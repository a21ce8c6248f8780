// Calls whose work happens elsewhere: in the browser process (CallBrowserAsync) or on a worker
// thread (CallThreadAsync). Script gets a thenable at once; when the work is done, the function
// given to its `then` is called on the script thread with one result object.
//
// A thenable: `then(success, failure)` stores the functions that are functions (a later call
// replaces only those), returns undefined and does not chain. The failure function is kept but
// never called: failures are described inside the result. A result for a thenable whose `then`
// got no success function is dropped.
//
// Pending browser calls are keyed by a 64-bit id counted from 0 and sent as decimal text; a
// result whose id is not pending is ignored. Script thread only, except the work of
// CallThreadAsync, which returns to the script thread through the poster.
#pragma once

#include "modules/ScriptValue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tvn {

class PromiseHandler {
public:
    // then(...): the script function's body.
    void then(JSCContext*, const std::vector<ScriptValue>& arguments);

    // Calls the success function with a plain object made from `dictionary`.
    void NotifySuccessful(const nlohmann::json& dictionary);

    bool hasSuccessFunction() const { return static_cast<bool>(m_success); }

private:
    ScriptValue m_success;
    ScriptValue m_failure;
    GRef<JSCContext> m_context;
};

// A plain object { then: function } served by `handler`.
ScriptValue makeThenable(JSCContext*, std::shared_ptr<PromiseHandler> handler);

class CallBridge {
public:
    // Sends the "call" message (method, argument list, decimal id) to the browser process, through
    // the page `browserId` names.
    using SendCall = std::function<bool(int browserId, const std::string& method, const nlohmann::json& arguments, const std::string& callId)>;
    // Runs a callable on the script thread, later.
    using PostToScriptThread = std::function<void(std::function<void()>)>;

    CallBridge(SendCall, PostToScriptThread);

    // Both: false (and no thenable) when there is no script context.
    bool CallBrowserAsync(JSCContext*, int browserId, const std::string& method, const std::vector<ScriptValue>& arguments, ScriptValue& result);
    bool CallThreadAsync(JSCContext*, std::function<nlohmann::json()> work, ScriptValue& result);

    // The "result" message: settles and forgets the pending call.
    void onResult(const std::string& callId, const nlohmann::json& dictionary);

    size_t pendingCount() const { return m_pending.size(); }

    // The process's bridge (the web process sets it at start; null elsewhere).
    static CallBridge* current();
    static void setCurrent(CallBridge*);

private:
    SendCall m_sendCall;
    PostToScriptThread m_post;
    int64_t m_nextCallId = 0;
    std::map<int64_t, std::shared_ptr<PromiseHandler>> m_pending;
};

} // namespace tvn
