// The test module.

#include "modules/ModuleTest.h"

namespace tvn {

ScriptValue ModuleTest::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("hello", [](MethodCall& call) {
        const std::optional<std::string> name = call.requiredString();
        if (!name)
            return true;
        const std::string text = "hello, " + *name;
        call.result = ScriptValue::adopt(jsc_value_new_string(call.context, text.c_str()));
        return true;
    });
    return object;
}

} // namespace tvn
