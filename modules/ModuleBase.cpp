// Module dispatch and the JSC class that stands for a module's accessor: its get_property,
// set_property, has_property and enumerate_properties answer for the registered names.

#include "modules/ModuleBase.h"

#include "app/Log.h"

namespace tvn {

namespace {

constexpr const char* kClassKey = "tvn-module-class";

// What a module object and its function values hold: a share of the module.
struct ModuleHolder {
    std::shared_ptr<ModuleBase> module;
};

struct MethodBinding {
    std::shared_ptr<ModuleBase> module;
    std::string name;
};

void destroyHolder(gpointer holder) { std::unique_ptr<ModuleHolder>(static_cast<ModuleHolder*>(holder)); }
void destroyBinding(gpointer binding) { std::unique_ptr<MethodBinding>(static_cast<MethodBinding*>(binding)); }

JSCValue* callMethod(GPtrArray* arguments, gpointer data)
{
    auto* binding = static_cast<MethodBinding*>(data);
    MethodCall call;
    call.context = jsc_context_get_current();
    call.name = binding->name;
    for (unsigned i = 0; arguments && i < arguments->len; ++i)
        call.arguments.push_back(ScriptValue::retain(static_cast<JSCValue*>(g_ptr_array_index(arguments, i))));
    binding->module->Execute(call);
    if (!call.exception.empty()) {
        jsc_context_throw(call.context, call.exception.c_str());
        return jsc_value_new_undefined(call.context);
    }
    return call.result ? call.result.leak() : jsc_value_new_undefined(call.context);
}

JSCValue* getProperty(JSCClass*, JSCContext* context, gpointer instance, const char* name)
{
    std::string exception;
    ScriptValue value = static_cast<ModuleHolder*>(instance)->module->Get(context, name, exception);
    if (!exception.empty())
        jsc_context_throw(context, exception.c_str());
    return value.leak(); // null: not ours, the ordinary lookup goes on
}

gboolean setProperty(JSCClass*, JSCContext* context, gpointer instance, const char* name, JSCValue* value)
{
    std::string exception;
    const bool handled = static_cast<ModuleHolder*>(instance)->module->Set(context, name, value, exception);
    if (!exception.empty())
        jsc_context_throw(context, exception.c_str());
    return handled;
}

gboolean hasProperty(JSCClass*, JSCContext*, gpointer instance, const char* name)
{
    return static_cast<ModuleHolder*>(instance)->module->isRegistered(name);
}

gchar** enumerateProperties(JSCClass*, JSCContext*, gpointer instance)
{
    const std::vector<std::string> names = static_cast<ModuleHolder*>(instance)->module->registeredNames();
    if (names.empty())
        return nullptr;
    gchar** list = g_new0(gchar*, names.size() + 1);
    for (size_t i = 0; i < names.size(); ++i)
        list[i] = g_strdup(names[i].c_str());
    return list;
}

// One class per context, registered on first use and kept with the context.
JSCClass* moduleClass(JSCContext* context)
{
    if (auto* known = static_cast<JSCClass*>(g_object_get_data(G_OBJECT(context), kClassKey)))
        return known;
    static JSCClassVTable vtable = { getProperty, setProperty, hasProperty, nullptr, enumerateProperties, nullptr, nullptr, nullptr, nullptr };
    JSCClass* created = jsc_context_register_class(context, "Module", nullptr, &vtable, destroyHolder);
    g_object_set_data(G_OBJECT(context), kClassKey, created);
    return created;
}

} // namespace

ModuleBase::~ModuleBase() = default;

ScriptValue ModuleBase::CreateObject(JSCContext* context)
{
    auto holder = std::make_unique<ModuleHolder>(ModuleHolder { shared_from_this() });
    return ScriptValue::adopt(jsc_value_new_object(context, holder.release(), moduleClass(context)));
}

void ModuleBase::RegisterMethod(std::string name, MethodHandler handler)
{
    m_methods[std::move(name)] = std::move(handler);
}

void ModuleBase::RegisterProperty(std::string name, PropertyGetter getter, PropertySetter setter)
{
    m_properties[std::move(name)] = { std::move(getter), std::move(setter) };
}

bool ModuleBase::isRegistered(const std::string& name) const
{
    return m_methods.count(name) || m_properties.count(name);
}

std::vector<std::string> ModuleBase::registeredNames() const
{
    std::vector<std::string> names;
    for (const auto& [name, handler] : m_methods)
        names.push_back(name);
    for (const auto& [name, accessors] : m_properties) {
        if (!m_methods.count(name))
            names.push_back(name);
    }
    return names;
}

bool ModuleBase::Execute(MethodCall& call)
{
    const auto method = m_methods.find(call.name);
    if (method == m_methods.end()) {
        call.fail("function not found");
        return true;
    }
    return method->second(call);
}

ScriptValue ModuleBase::Get(JSCContext* context, const std::string& name, std::string& exception)
{
    if (!isRegistered(name))
        return {};
    if (const auto property = m_properties.find(name); property != m_properties.end() && property->second.first) {
        PropertyAccess access { context, name, {}, {} };
        property->second.first(access);
        exception = std::move(access.exception);
        return access.value ? access.value : ScriptValue::adopt(jsc_value_new_undefined(context));
    }
    // A method: a new function value on every read, sharing the module.
    auto binding = std::make_unique<MethodBinding>(MethodBinding { shared_from_this(), name });
    return ScriptValue::adopt(jsc_value_new_function_variadic(context, name.c_str(), G_CALLBACK(callMethod), binding.release(),
        destroyBinding, JSC_TYPE_VALUE));
}

bool ModuleBase::Set(JSCContext* context, const std::string& name, JSCValue* value, std::string& exception)
{
    const auto property = m_properties.find(name);
    if (property == m_properties.end() || !property->second.second)
        return false;
    PropertyAccess access { context, name, ScriptValue::retain(value), {} };
    const bool handled = property->second.second(access);
    exception = std::move(access.exception);
    return handled;
}

void callScriptFunction(JSCValue* function, JSCValue* argument)
{
    JSCValue* arguments[] = { argument };
    const ScriptValue ignored = ScriptValue::adopt(jsc_value_function_callv(function, argument ? 1 : 0, arguments));
    JSCContext* context = jsc_value_get_context(function);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        LOG_ERROR << "script callback threw: " << jsc_exception_get_message(exception);
        jsc_context_clear_exception(context);
    }
}

} // namespace tvn
