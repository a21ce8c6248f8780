// The test module.

#include "modules/ModuleTest.h"

namespace tvn {

ScriptValue ModuleTest::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("hello", [](MethodCall& call) {
        if (call.arguments.size() != 1 || !jsc_value_is_string(call.arguments[0].get())) {
            call.invalidArguments();
            return true;
        }
        const std::string text = "hello, " + scriptString(call.arguments[0].get());
        call.result = ScriptValue::adopt(jsc_value_new_string(call.context, text.c_str()));
        return true;
    });
    return object;
}

} // namespace tvn
