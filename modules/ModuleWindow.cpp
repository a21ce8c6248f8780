// The window module.

#include "modules/ModuleWindow.h"

#include "core/Log.h"
#include "modules/WindowRequest.h"

namespace tvn {

namespace {

// The engine's boolean of a value object: false for anything but a boolean.
bool booleanValue(JSCValue* value)
{
    return jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
}

bool stateFlag(const char* name)
{
    const std::optional<nlohmann::json> state = requestMainWindow("state");
    return state && state->value(name, false);
}

// The one rule for a method's argument: exactly one, of the kind asked. What a wrong call gets is
// the method's own: onSize throws "Invalid arguments", the others do nothing (and say so in the
// log, never passing for done).
enum class WrongArguments { Throw, Ignore };

bool oneArgument(MethodCall& call, gboolean (*is)(JSCValue*), WrongArguments wrong)
{
    if (call.arguments.size() == 1 && is(call.arguments[0].get()))
        return true;
    if (wrong == WrongArguments::Throw) {
        call.invalidArguments();
    } else {
        LOG_DEBUG << "window method ignored, wrong arguments: " << call.name;
    }
    return false;
}

void addIntOption(nlohmann::json& fields, JSCValue* object, const char* key)
{
    if (const std::optional<int> value = GetIntOption(object, key))
        fields[key] = *value;
}

// A method that is one command without arguments (extra arguments are ignored).
MethodHandler command(const char* name)
{
    return [name](MethodCall&) {
        requestMainWindow(name);
        return true;
    };
}

ScriptValue sizeObject(JSCContext* context, int width, int height)
{
    return MakeObject(context, { { "w", ScriptValue::adopt(jsc_value_new_number(context, width)) }, { "h", ScriptValue::adopt(jsc_value_new_number(context, height)) } });
}

void callSizeCallback(JSCValue* callback, int sizeType, int width, int height)
{
    JSCContext* context = jsc_value_get_context(callback);
    const ScriptValue type = ScriptValue::adopt(jsc_value_new_number(context, sizeType));
    const ScriptValue size = sizeObject(context, width, height);
    JSCValue* arguments[] = { type.get(), size.get() };
    const ScriptValue ignored = ScriptValue::adopt(jsc_value_function_callv(callback, 2, arguments));
    jsc_context_clear_exception(context); // the page's callback may throw; nobody is told
}

} // namespace

ScriptValue ModuleWindow::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);

    RegisterProperty(
        "topmost",
        [](PropertyAccess& access) {
            access.value = ScriptValue::adopt(jsc_value_new_boolean(access.context, stateFlag("topmost")));
            return true;
        },
        [](PropertyAccess& access) {
            requestMainWindow("setTopmost", { { "value", booleanValue(access.value.get()) } });
            return true;
        });
    RegisterProperty(
        "resizable",
        [](PropertyAccess& access) {
            access.value = ScriptValue::adopt(jsc_value_new_boolean(access.context, stateFlag("resizable")));
            return true;
        },
        [](PropertyAccess& access) {
            requestMainWindow("setResizeable", { { "value", booleanValue(access.value.get()) ? 1 : 0 } });
            return true;
        });

    RegisterMethod("close", command("close"));
    RegisterMethod("show", command("show"));
    RegisterMethod("hide", command("hide"));
    RegisterMethod("minimize", command("minimize"));
    RegisterMethod("maximize", command("maximize"));
    RegisterMethod("restore", command("restore"));

    RegisterMethod("onSize", [this](MethodCall& call) {
        if (!oneArgument(call, jsc_value_is_function, WrongArguments::Throw))
            return true;
        m_sizeCallback = call.arguments[0];
        const nlohmann::json state = requestMainWindow("state").value_or(nlohmann::json::object());
        callSizeCallback(m_sizeCallback.get(), state.value("maximized", false) ? kWindowMaximized : kWindowRestored,
            state.value("width", 0), state.value("height", 0));
        return true;
    });

    RegisterMethod("setWindowPos", [](MethodCall& call) {
        if (!oneArgument(call, jsc_value_is_object, WrongArguments::Ignore))
            return true;
        JSCValue* options = call.arguments[0].get();
        nlohmann::json fields = nlohmann::json::object();
        for (const char* key : { "x", "y", "w", "h" })
            addIntOption(fields, options, key);
        requestMainWindow("setWindowPos", std::move(fields));
        return true;
    });

    RegisterMethod("centerWindow", [](MethodCall& call) {
        if (!oneArgument(call, jsc_value_is_object, WrongArguments::Ignore))
            return true;
        nlohmann::json fields = nlohmann::json::object();
        addIntOption(fields, call.arguments[0].get(), "w");
        addIntOption(fields, call.arguments[0].get(), "h");
        requestMainWindow("centerWindow", std::move(fields));
        return true;
    });

    RegisterMethod("bringWindowToFront", command("bringWindowToFront"));
    RegisterMethod("flash", command("flash"));

    // The page's background colour (CSS syntax), for the frame drawn around the page.
    RegisterMethod("setBackground", [](MethodCall& call) {
        if (!oneArgument(call, jsc_value_is_string, WrongArguments::Ignore))
            return true;
        requestMainWindow("setBackground", { { "color", scriptString(call.arguments[0].get()) } });
        return true;
    });

    RegisterMethod("setIcon", [](MethodCall& call) {
        if (!oneArgument(call, jsc_value_is_string, WrongArguments::Ignore))
            return true;
        requestMainWindow("setIcon", { { "image", scriptString(call.arguments[0].get()) } });
        return true;
    });

    // Held weakly: the subscription goes with the module, and a late delivery finds nobody.
    std::weak_ptr<ModuleBase> weak = weak_from_this();
    m_sizeSubscription = EventBus::Bus::instance().subscribe("onSize", [weak](const EventBus::Message* message) {
        if (const std::shared_ptr<ModuleBase> module = weak.lock())
            static_cast<ModuleWindow*>(module.get())->onSizeEvent(*message);
    });
    return object;
}

void ModuleWindow::onSizeEvent(const EventBus::Message& message)
{
    const auto values = EventBus::valuesAs<int32_t, int32_t, int32_t, int32_t>(*message.values);
    if (!values || !m_sizeCallback)
        return;
    const auto [browser, type, width, height] = *values;
    if (browser != browserId())
        return;
    callSizeCallback(m_sizeCallback.get(), type, width, height);
}

} // namespace tvn
