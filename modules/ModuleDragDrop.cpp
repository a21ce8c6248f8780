// The dragdrop module.

#include "modules/ModuleDragDrop.h"

#include "modules/CallBridge.h"
#include "modules/DragFiles.h"

namespace tvn {

ScriptValue ModuleDragDrop::CreateObject(JSCContext* context)
{
    ScriptValue object = ModuleBase::CreateObject(context);
    RegisterMethod("getFiles", [](MethodCall& call) {
        call.result = toScriptValue(call.context, dragFileList());
        return true;
    });
    // Forwarded as it is: the browser answers only one list of paths with files among them, so a
    // wrong call's thenable never settles.
    RegisterMethod("doDragDrop", [this](MethodCall& call) {
        if (CallBridge* bridge = CallBridge::current())
            bridge->CallBrowserAsync(call.context, { browserId(), frameId() }, "doDragDrop", call.arguments, call.result);
        return true;
    });
    return object;
}

} // namespace tvn
