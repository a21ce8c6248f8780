// A page's function held by a worker thread (exec, copyAsync, listDir): the thread posts calls to
// the script thread, and the function, with the values kept beside it, is released there too, so
// that no script value is touched off the script thread.
#pragma once

#include "modules/ScriptValue.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace tvn {

class ScriptCallback {
public:
    // What a posted task sees: the function (possibly none), the kept values and what earlier tasks
    // gathered.
    struct Target {
        ScriptValue function;
        std::vector<ScriptValue> kept;
        // Values one task makes for a later one (exec's text, part by part); released with the rest.
        std::vector<ScriptValue> gathered;

        JSCContext* context() const { return function ? jsc_value_get_context(function.get()) : nullptr; }
        // Calls the function with no receiver; an exception it throws is cleared (nobody is told).
        void call(std::initializer_list<JSCValue*> arguments) const;
    };

    ScriptCallback() = default;
    // Script thread. `function` may be empty: the posted tasks then find no function.
    explicit ScriptCallback(ScriptValue function, std::vector<ScriptValue> kept = {});
    ~ScriptCallback();
    ScriptCallback(ScriptCallback&&) noexcept = default;
    ScriptCallback& operator=(ScriptCallback&&) = delete;

    // Any thread: runs `work` on the script thread, in the order posted. `work` is not run when
    // there is no function.
    void post(std::function<void(Target&)> work);

private:
    std::shared_ptr<Target> m_target;
};

} // namespace tvn
