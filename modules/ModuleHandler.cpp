// The `module` function and the table of built-in modules.

#include "modules/ModuleHandler.h"

#include "core/Log.h"
#include "modules/ModuleBizRepair.h"
#include "modules/ModuleDragDrop.h"
#include "modules/ModuleFile.h"
#include "modules/ModuleHttp.h"
#include "modules/ModuleReg.h"
#include "modules/ModuleSys.h"
#include "modules/ModuleTest.h"
#include "modules/ModuleTrayIcon.h"
#include "modules/ModuleWindow.h"
#include "modules/ModuleWine.h"
#include "modules/ModuleZip.h"

namespace tvn {

namespace {

JSCValue* callModule(GPtrArray* arguments, gpointer data)
{
    MethodCall call;
    call.context = jsc_context_get_current();
    call.name = "module";
    for (unsigned i = 0; arguments && i < arguments->len; ++i)
        call.arguments.push_back(ScriptValue::retain(static_cast<JSCValue*>(g_ptr_array_index(arguments, i))));
    static_cast<const ModuleHandler*>(data)->Execute(call);
    if (!call.exception.empty()) {
        jsc_context_throw(call.context, call.exception.c_str());
        return jsc_value_new_undefined(call.context);
    }
    return call.result ? call.result.leak() : jsc_value_new_undefined(call.context);
}

void destroyHandler(gpointer handler) { std::unique_ptr<ModuleHandler>(static_cast<ModuleHandler*>(handler)); }

} // namespace

namespace {

std::map<std::string, ModuleFactory>& moduleTable()
{
    static std::map<std::string, ModuleFactory> modules = {
        { "biz_repair", [] { return std::make_shared<ModuleBizRepair>(); } },
        { "dragdrop", [] { return std::make_shared<ModuleDragDrop>(); } },
        { "file", [] { return std::make_shared<ModuleFile>(); } },
        { "http", [] { return std::make_shared<ModuleHttp>(); } },
        { "reg", [] { return std::make_shared<ModuleReg>(); } },
        { "sys", [] { return std::make_shared<ModuleSys>(); } },
        { "test", [] { return std::make_shared<ModuleTest>(); } },
        { "trayicon", [] { return std::make_shared<ModuleTrayIcon>(); } },
        { "window", [] { return std::make_shared<ModuleWindow>(); } },
        { "wine", [] { return std::make_shared<ModuleWine>(); } },
        { "zip", [] { return std::make_shared<ModuleZip>(); } },
    };
    return modules;
}

} // namespace

const std::map<std::string, ModuleFactory>& builtinModules()
{
    return moduleTable();
}

void addBuiltinModule(std::string name, ModuleFactory factory)
{
    moduleTable()[std::move(name)] = std::move(factory);
}

void ModuleHandler::install(JSCContext* context, int browserId, int frameId)
{
    auto handler = std::make_unique<ModuleHandler>(browserId, frameId);
    const ScriptValue function = ScriptValue::adopt(jsc_value_new_function_variadic(context, "module", G_CALLBACK(callModule),
        handler.release(), destroyHandler, JSC_TYPE_VALUE));
    const ScriptValue global = ScriptValue::adopt(jsc_context_get_global_object(context));
    jsc_value_object_set_property(global.get(), "module", function.get());
}

bool ModuleHandler::Execute(MethodCall& call) const
{
    const std::optional<std::string> asked = call.onlyString();
    if (!asked) {
        call.fail("invalid parameters");
        return true;
    }
    const std::string& name = *asked;
    LOG_INFO << "create buildin module: " << name;
    const auto factory = builtinModules().find(name);
    if (factory == builtinModules().end()) {
        LOG_ERROR << "create buildin module failed";
        call.fail("invalid parameters");
        return true;
    }
    std::shared_ptr<ModuleBase> module = factory->second();
    module->setIds(m_browserId, m_frameId);
    call.result = module->createScriptObject(call.context);
    return true;
}

} // namespace tvn
