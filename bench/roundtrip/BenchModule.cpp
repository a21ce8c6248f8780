// The "bench" module, carried only by the benchmark's web extension:
//   echo(value)    a thenable settled by the browser process's "echo" method (the whole bridge)
//   ping(callback) one bare user message to the browser process and its reply, then callback()

#include "modules/CallBridge.h"
#include "modules/ModuleHandler.h"
#include "renderer/WebExtension.h"

namespace tvn {

namespace {

class ModuleBench final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext* context) override
    {
        ScriptValue object = ModuleBase::CreateObject(context);
        RegisterMethod("echo", [this](MethodCall& call) {
            return CallBridge::current()->CallBrowserAsync(call.context, { browserId(), frameId() }, "echo", call.arguments, call.result);
        });
        RegisterMethod("ping", [this](MethodCall& call) {
            if (call.arguments.size() != 1 || !jsc_value_is_function(call.arguments[0].get())) {
                call.invalidArguments();
                return true;
            }
            WebKitWebPage* page = webkit_web_extension_get_page(currentWebExtension(), static_cast<guint64>(browserId()));
            auto callback = std::make_unique<ScriptValue>(call.arguments[0]); // the reply handler owns it
            webkit_web_page_send_message_to_view(page, webkit_user_message_new("ping", nullptr), nullptr,
                [](GObject* source, GAsyncResult* result, gpointer data) {
                    std::unique_ptr<ScriptValue> function(static_cast<ScriptValue*>(data));
                    GRef<WebKitUserMessage> reply = GRef<WebKitUserMessage>::adopt(
                        webkit_web_page_send_message_to_view_finish(WEBKIT_WEB_PAGE(source), result, nullptr));
                    callScriptFunction(function->get(), nullptr);
                },
                callback.release());
            return true;
        });
        return object;
    }
};

// Registered when the extension is loaded, before any page.
const bool registered = [] {
    addBuiltinModule("bench", [] { return std::make_shared<ModuleBench>(); });
    return true;
}();

} // namespace

} // namespace tvn
