// The "test" module: hello(text) gives "hello, " followed by the text. Checks the bridge from a page.
#pragma once

#include "modules/ModuleBase.h"

namespace tvn {

class ModuleTest final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

} // namespace tvn
