// The "reg" module: the page tests, reads, writes and deletes registry values and keys in the
// registry store. Every method takes one options object ("key": a root's name, "path", "name",
// "value", "default") and runs inside the call. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "platform/RegistryStore.h"

#include <string>
#include <string_view>

namespace tvn {

class ModuleReg final : public ModuleBase {
public:
    // The process's store unless another is given (tests).
    ModuleReg();
    explicit ModuleReg(platform::RegistryStore&);
    ScriptValue CreateObject(JSCContext*) override;

private:
    platform::RegistryStore& m_store;
};

// deleteKey's path buffer holds 520 UTF-16 units: a longer path is cut to 519 (never inside a
// character).
std::string cutToUtf16Units(std::string_view text, size_t units);

} // namespace tvn
