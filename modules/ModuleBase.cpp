// Module dispatch: a module's script object, its members declared in script, and the one native
// function they all call.

#include "modules/ModuleBase.h"

#include "core/Log.h"

namespace tvn {

namespace {

enum class Access { Call, Get, Set };

// What one member's native function holds: a share of the module, and which member it serves.
struct MemberBinding {
    std::shared_ptr<ModuleBase> module;
    std::string name;
    Access access;
};

void destroyBinding(gpointer binding) { std::unique_ptr<MemberBinding>(static_cast<MemberBinding*>(binding)); }

JSCValue* onMember(GPtrArray* arguments, gpointer data)
{
    JSCContext* context = jsc_context_get_current();
    const MemberBinding& member = *static_cast<MemberBinding*>(data);
    std::string exception;
    ScriptValue result;
    switch (member.access) {
    case Access::Call: {
        MethodCall call;
        call.context = context;
        call.name = member.name;
        const unsigned count = arguments ? arguments->len : 0;
        call.arguments.reserve(count);
        for (unsigned i = 0; i < count; ++i)
            call.arguments.push_back(ScriptValue::retain(static_cast<JSCValue*>(g_ptr_array_index(arguments, i))));
        member.module->Execute(call);
        exception = std::move(call.exception);
        result = std::move(call.result);
        break;
    }
    case Access::Get:
        result = member.module->Get(context, member.name, exception);
        break;
    case Access::Set:
        member.module->Set(context, member.name, arguments && arguments->len ? static_cast<JSCValue*>(g_ptr_array_index(arguments, 0)) : nullptr,
            exception);
        break;
    }
    if (!exception.empty()) {
        jsc_context_throw(context, exception.c_str());
        return jsc_value_new_undefined(context);
    }
    return result ? result.leak() : jsc_value_new_undefined(context);
}

ScriptValue memberFunction(JSCContext* context, std::shared_ptr<ModuleBase> module, const std::string& name, Access access)
{
    auto binding = std::make_unique<MemberBinding>(MemberBinding { std::move(module), name, access });
    return ScriptValue::adopt(jsc_value_new_function_variadic(context, name.c_str(), G_CALLBACK(onMember), binding.release(),
        destroyBinding, JSC_TYPE_VALUE));
}

// Declares the members on the object as accessors, in script: reading a method makes a new
// function there (cheaply, with no native object per read) that calls the method's native
// function; a property's getter and setter are its native functions themselves.
constexpr const char* kDefineMembers = R"((function (object, names, calls, getters, setters) {
    names.forEach(function (name, i) {
        var call = calls[i];
        Object.defineProperty(object, name, {
            enumerable: true, configurable: true,
            get: getters[i] || function () { return function () { return call.apply(undefined, arguments); }; },
            set: setters[i] || undefined
        });
    });
    return object;
}))";

ScriptValue arrayOf(JSCContext* context, const std::vector<ScriptValue>& values)
{
    ScriptValue array = ScriptValue::adopt(jsc_value_new_array(context, G_TYPE_NONE));
    for (size_t i = 0; i < values.size(); ++i)
        jsc_value_object_set_property_at_index(array.get(), static_cast<unsigned>(i), values[i].get());
    return array;
}

} // namespace

ModuleBase::~ModuleBase() = default;

ScriptValue ModuleBase::CreateObject(JSCContext* context)
{
    return ScriptValue::adopt(jsc_value_new_object(context, nullptr, nullptr));
}

ScriptValue ModuleBase::createScriptObject(JSCContext* context)
{
    ScriptValue object = CreateObject(context);
    const ScriptValue undefined = ScriptValue::adopt(jsc_value_new_undefined(context));
    std::vector<ScriptValue> names, calls, getters, setters;
    for (const std::string& name : registeredNames()) {
        const auto property = m_properties.find(name);
        const bool hasGetter = property != m_properties.end() && property->second.first;
        const bool hasSetter = property != m_properties.end() && property->second.second;
        names.push_back(ScriptValue::adopt(jsc_value_new_string(context, name.c_str())));
        calls.push_back(hasGetter ? undefined : memberFunction(context, shared_from_this(), name, Access::Call));
        getters.push_back(hasGetter ? memberFunction(context, shared_from_this(), name, Access::Get) : undefined);
        setters.push_back(hasSetter ? memberFunction(context, shared_from_this(), name, Access::Set) : undefined);
    }
    const ScriptValue define = ScriptValue::adopt(jsc_context_evaluate(context, kDefineMembers, -1));
    const std::vector<ScriptValue> parameters = { object, arrayOf(context, names), arrayOf(context, calls), arrayOf(context, getters),
        arrayOf(context, setters) };
    std::vector<JSCValue*> raw;
    for (const ScriptValue& parameter : parameters)
        raw.push_back(parameter.get());
    const ScriptValue defined = ScriptValue::adopt(jsc_value_function_callv(define.get(), static_cast<unsigned>(raw.size()), raw.data()));
    return object;
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
    return ScriptValue::adopt(jsc_value_new_undefined(context));
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
