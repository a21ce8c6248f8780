// ModuleBase: the base of every built-in script module, and the glue that gives a module its
// script object.
//
// A module registers its methods and properties by name while its object is made; the names are
// then declared on the object as accessors. Reading one calls the property's getter, or else gives
// a new function value bound to the method of that name (a new one on every read). Calling it dispatches through the method table:
// "function not found" when the name has no method. A method reports wrong arguments by setting
// the exception "Invalid arguments"; nothing is thrown across the native boundary.
//
// The script object owns its module; every function taken from it shares that ownership, so the
// module lives until the engine has collected them all. Handlers capture their module as `this`
// (the module owns them; a shared_ptr there would keep it alive forever). Script thread only.
#pragma once

#include "modules/ScriptValue.h"
#include "modules/PageThreads.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// One call of a module method: its arguments in, a result and an exception out.
struct MethodCall {
    JSCContext* context = nullptr;
    std::string name;
    std::vector<ScriptValue> arguments;
    ScriptValue result;    // left empty: undefined
    std::string exception; // set: thrown to script with this message

    void fail(std::string message) { exception = std::move(message); }
    void invalidArguments() { fail("Invalid arguments"); }

    // The one argument when it is an object (an options object); nullptr for any other call.
    JSCValue* optionsObject() const
    {
        return arguments.size() == 1 && jsc_value_is_object(arguments[0].get()) ? arguments[0].get() : nullptr;
    }
    // The same, for methods that refuse any other call with "Invalid arguments".
    JSCValue* requiredOptionsObject()
    {
        JSCValue* options = optionsObject();
        if (!options)
            invalidArguments();
        return options;
    }
    // The one argument when it is a string; nullopt for any other call.
    std::optional<std::string> onlyString() const
    {
        if (arguments.size() != 1 || !jsc_value_is_string(arguments[0].get()))
            return std::nullopt;
        return scriptString(arguments[0].get());
    }
    // The same, for methods that refuse any other call with "Invalid arguments".
    std::optional<std::string> requiredString()
    {
        std::optional<std::string> text = onlyString();
        if (!text)
            invalidArguments();
        return text;
    }
};

// One read or write of a module property.
struct PropertyAccess {
    JSCContext* context = nullptr;
    std::string name;
    ScriptValue value; // the value written; the value read (out)
    std::string exception;
};

using MethodHandler = std::function<bool(MethodCall&)>;
using PropertyGetter = std::function<bool(PropertyAccess&)>;
using PropertySetter = std::function<bool(PropertyAccess&)>;

class ModuleBase : public std::enable_shared_from_this<ModuleBase> {
public:
    virtual ~ModuleBase();
    ModuleBase(const ModuleBase&) = delete;
    ModuleBase& operator=(const ModuleBase&) = delete;

    // The module's script object. Modules override it: call the base, then register members.
    virtual ScriptValue CreateObject(JSCContext*);

    // CreateObject, then the registered members declared on the object. What `module()` returns.
    ScriptValue createScriptObject(JSCContext*);

    void RegisterMethod(std::string name, MethodHandler);
    void RegisterProperty(std::string name, PropertyGetter, PropertySetter = {});

    // Dispatch, as the script object's glue calls it.
    bool Execute(MethodCall&);
    // A property's value through its getter; an empty value when the name has none.
    ScriptValue Get(JSCContext*, const std::string& name, std::string& exception);
    bool Set(JSCContext*, const std::string& name, JSCValue* value, std::string& exception);
    bool isRegistered(const std::string& name) const;
    std::vector<std::string> registeredNames() const;

    int browserId() const { return m_browserId; }
    int frameId() const { return m_frameId; }
    void setIds(int browserId, int frameId)
    {
        m_browserId = browserId;
        m_frameId = frameId;
    }

    // Starts a worker thread owned by the module's page (PageThreads.h): it is stopped and joined
    // when the page's document goes, whatever becomes of the module.
    template<typename Work>
    void startPageThread(Work work) const
    {
        PageThreads::current().of(m_browserId, m_frameId).start(std::move(work));
    }

protected:
    ModuleBase() = default;

private:
    std::map<std::string, MethodHandler> m_methods;
    std::map<std::string, std::pair<PropertyGetter, PropertySetter>> m_properties;
    int m_browserId = 0;
    int m_frameId = 0;
};

// Calls `function` with one argument; the result is dropped, an exception is logged.
void callScriptFunction(JSCValue* function, JSCValue* argument);

} // namespace tvn
