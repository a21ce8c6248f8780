// Script callbacks held off the script thread.

#include "modules/ScriptCallback.h"

#include "platform/MainLoop.h"

namespace tvn {

void ScriptCallback::Target::call(std::initializer_list<JSCValue*> arguments) const
{
    std::vector<JSCValue*> list(arguments);
    const ScriptValue ignored = ScriptValue::adopt(jsc_value_function_callv(function.get(), static_cast<unsigned>(list.size()), list.data()));
    jsc_context_clear_exception(context());
}

ScriptCallback::ScriptCallback(ScriptValue function, std::vector<ScriptValue> kept)
    : m_target(std::make_shared<Target>(Target { std::move(function), std::move(kept), {} }))
{
}

ScriptCallback::~ScriptCallback()
{
    // The last reference of this thread goes to the script thread to be dropped there; the tasks
    // posted before it hold their own and run first.
    if (m_target)
        platform::postToMainLoop([target = std::move(m_target)] { });
}

void ScriptCallback::post(std::function<void(Target&)> work)
{
    platform::postToMainLoop([target = m_target, work = std::move(work)] {
        if (target && target->function)
            work(*target);
    });
}

} // namespace tvn
