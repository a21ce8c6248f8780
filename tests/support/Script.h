// Running script in a standalone JavaScriptCore context, for the module layer's tests.
#pragma once

#include "modules/ScriptValue.h"

#include <string>

namespace tvn::test {

// Runs `code`; the value of its last expression as a string ("!" and the message on an exception).
inline std::string runScript(JSCContext* context, const std::string& code)
{
    const ScriptValue value = ScriptValue::adopt(jsc_context_evaluate(context, code.c_str(), -1));
    if (JSCException* exception = jsc_context_get_exception(context)) {
        std::string message = std::string("!") + jsc_exception_get_message(exception);
        jsc_context_clear_exception(context);
        return message;
    }
    return scriptString(value.get());
}

} // namespace tvn::test
