// The "file" module: file-system queries and operations for the page (exists, isDir, isFile,
// makeDir, fileSize, copy, move, delete), a copy with progress (copyAsync) and a folder listing
// (listDir), both on threads of their own with their callbacks on the script thread in order.
// Results are Win32's: booleans, a 32-bit size, Win32 error numbers. Script thread only.
#pragma once

#include "modules/ModuleBase.h"

namespace tvn {

class ModuleFile final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

} // namespace tvn
