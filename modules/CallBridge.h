// Calls whose work happens elsewhere: in the browser process (CallBrowserAsync) or on a worker
// thread (CallThreadAsync). Script gets a thenable at once; when the work is done, the function
// given to its `then` is called on the script thread with one result object.
//
// A thenable: `then(success, failure)` stores the functions that are functions (a later call
// replaces only those), returns undefined and does not chain. The failure function is kept but
// never called: failures are described inside the result. A result for a thenable whose `then`
// got no success function is dropped.
//
// Pending calls are keyed by a 64-bit id counted from 0 (a browser call's is sent as decimal
// text); a result whose id is not pending is ignored. Every pending call belongs to the frame that
// made it and is dropped when that frame's window object is cleared, and every call of a page when
// its main frame's is (a reload, a navigation), so a call the browser never answers holds nothing
// after its page has gone. Script thread only, except the work of CallThreadAsync, which runs on a
// thread the bridge owns (joined when the bridge goes) and returns to the script thread through
// the poster.
#pragma once

#include "modules/ScriptValue.h"
#include "platform/ThreadGroup.h"

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

    // Calls the success function with a plain object made from `dictionary` (an array from a list).
    void NotifySuccessful(const nlohmann::json& dictionary);

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

    // Where a call comes from: the page and its frame.
    struct Caller {
        int browserId = 0;
        int frameId = 0;
        bool operator==(const Caller&) const = default;
    };

    CallBridge(SendCall, PostToScriptThread);

    // Both: false (and no thenable) when there is no script context.
    bool CallBrowserAsync(JSCContext*, Caller, const std::string& method, const std::vector<ScriptValue>& arguments, ScriptValue& result);
    bool CallThreadAsync(JSCContext*, Caller, std::function<nlohmann::json()> work, ScriptValue& result);

    // The "result" message: settles and forgets the pending call.
    void onResult(const std::string& callId, const nlohmann::json& dictionary);

    // The frame's script context is going: its pending calls are forgotten unanswered.
    void dropPending(Caller);
    // The page's main frame has a new document: every pending call of the page is forgotten (a
    // frame's id need not survive a navigation, the page's does).
    void dropPendingOfPage(int browserId);

    size_t pendingCount() const { return m_pending->size(); }

    // The process's bridge (the web process sets it at start; null elsewhere).
    static CallBridge* current();
    static void setCurrent(CallBridge*);

    struct PendingCall {
        std::shared_ptr<PromiseHandler> handler;
        Caller caller;
    };
    using PendingCalls = std::map<int64_t, PendingCall>;

private:
    // Settles and forgets one pending call; nothing when it is no longer pending.
    static void settle(PendingCalls&, int64_t id, const nlohmann::json& dictionary);

    SendCall m_sendCall;
    PostToScriptThread m_post;
    int64_t m_nextCallId = 0;
    // Shared with the results on their way back from worker threads, which find it gone when the
    // bridge has gone first.
    std::shared_ptr<PendingCalls> m_pending = std::make_shared<PendingCalls>();
    platform::ThreadGroup m_threads; // last: joined before anything above goes
};

} // namespace tvn
