// The trayicon module.

#include "modules/ModuleTrayIcon.h"

#include "modules/WindowRequest.h"

#include <nlohmann/json.hpp>

namespace tvn {

namespace {

// The module whose add came last: the icon's events are its callback's.
std::weak_ptr<ModuleBase>& trayOwner()
{
    static std::weak_ptr<ModuleBase> owner;
    return owner;
}

// The "icon" option as a string, when the object has one (any value, as its text).
std::optional<std::string> iconOption(JSCValue* options)
{
    const ScriptValue icon = GetOption(options, "icon");
    return icon ? std::optional(scriptString(icon.get())) : std::nullopt;
}

} // namespace

ScriptValue ModuleTrayIcon::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);

    const auto imageFields = [this] {
        nlohmann::json fields = nlohmann::json::object();
        if (m_image)
            fields["image"] = *m_image;
        return fields;
    };

    RegisterMethod("add", [this, imageFields](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        if (ScriptValue callback = GetFunctionOption(options, "callback"))
            m_callback = std::move(callback);
        if (std::optional<std::string> icon = iconOption(options))
            m_image = std::move(icon);
        trayOwner() = weak_from_this();
        nlohmann::json fields = imageFields();
        fields["page"] = browserId();
        requestMainWindow("trayAdd", std::move(fields));
        requestMainWindow("trayShow");
        return true;
    });

    RegisterMethod("modify", [this, imageFields](MethodCall& call) {
        JSCValue* options = call.requiredOptionsObject();
        if (!options)
            return true;
        if (std::optional<std::string> icon = iconOption(options))
            m_image = std::move(icon);
        requestMainWindow("trayModify", imageFields());
        return true;
    });

    // Read-only: whether a tray shows the icon now (a window hidden to it can come back).
    RegisterProperty("hosted", [](PropertyAccess& access) {
        const std::optional<nlohmann::json> answer = requestMainWindow("trayState");
        access.value = ScriptValue::adopt(jsc_value_new_boolean(access.context, answer && answer->value("hosted", false)));
        return true;
    });

    RegisterMethod("hide", [](MethodCall&) {
        requestMainWindow("trayHide");
        return true;
    });

    // Held weakly: the subscription goes with the module, and a late delivery finds nobody.
    std::weak_ptr<ModuleBase> weak = weak_from_this();
    m_subscription = EventBus::Bus::instance().subscribe("trayEvent", [weak](const EventBus::Message* message) {
        if (const std::shared_ptr<ModuleBase> module = weak.lock())
            static_cast<ModuleTrayIcon*>(module.get())->onTrayEvent(*message);
    });
    return object;
}

void ModuleTrayIcon::onTrayEvent(const EventBus::Message& message)
{
    const auto values = EventBus::valuesAs<int32_t, int32_t, int32_t, int32_t>(*message.values);
    if (!values || !m_callback || trayOwner().lock().get() != this)
        return;
    const auto [page, msg, x, y] = *values;
    if (page != browserId())
        return;
    JSCContext* context = jsc_value_get_context(m_callback.get());
    const auto number = [context](int value) { return ScriptValue::adopt(jsc_value_new_number(context, value)); };
    const ScriptValue event = MakeObject(context, { { "msg", number(msg) }, { "x", number(x) }, { "y", number(y) } });
    JSCValue* arguments[] = { event.get() };
    const ScriptValue ignored = ScriptValue::adopt(jsc_value_function_callv(m_callback.get(), 1, arguments));
    jsc_context_clear_exception(context); // the result and any exception are ignored
}

} // namespace tvn
