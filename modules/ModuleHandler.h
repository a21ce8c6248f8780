// ModuleHandler: the global function `module(name)` of every page context, which makes a new
// instance of a built-in module and returns its script object.
#pragma once

#include "modules/ModuleBase.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace tvn {

using ModuleFactory = std::function<std::shared_ptr<ModuleBase>()>;

// The built-in modules by name (exact, case-sensitive).
const std::map<std::string, ModuleFactory>& builtinModules();

// Adds a module to the table; for a process that carries modules of its own (a benchmark's web
// extension). Before any page runs: the table is not locked.
void addBuiltinModule(std::string name, ModuleFactory);

class ModuleHandler {
public:
    ModuleHandler(int browserId, int frameId)
        : m_browserId(browserId)
        , m_frameId(frameId)
    {
    }

    // Sets the global "module" of `context` to a function served by a handler for these ids.
    static void install(JSCContext*, int browserId, int frameId);

    // module(name): exactly one string naming a built-in module, else "invalid parameters".
    bool Execute(MethodCall&) const;

private:
    int m_browserId;
    int m_frameId;
};

} // namespace tvn
