// The "e2e" module, carried only by the end-to-end tests' web extension:
//   call(method, ...arguments)  a thenable settled by the browser process's method of that name
//   pendingCalls()              how many calls of this process wait for an answer
// It lets a test page reach the browser process's methods before the modules that use them exist.

#include "modules/CallBridge.h"
#include "modules/ModuleHandler.h"

namespace tvn {

namespace {

class ModuleE2e final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext* context) override
    {
        ScriptValue object = ModuleBase::CreateObject(context);
        RegisterMethod("call", [this](MethodCall& call) {
            if (call.arguments.empty() || !jsc_value_is_string(call.arguments[0].get())) {
                call.invalidArguments();
                return true;
            }
            const std::vector<ScriptValue> arguments(call.arguments.begin() + 1, call.arguments.end());
            return CallBridge::current()->CallBrowserAsync(call.context, { browserId(), frameId() }, scriptString(call.arguments[0].get()), arguments, call.result);
        });
        RegisterMethod("pendingCalls", [](MethodCall& call) {
            call.result = toScriptValue(call.context, CallBridge::current()->pendingCount());
            return true;
        });
        return object;
    }
};

// Registered when the extension is loaded, before any page.
const bool registered = [] {
    addBuiltinModule("e2e", [] { return std::make_shared<ModuleE2e>(); });
    return true;
}();

} // namespace

} // namespace tvn
