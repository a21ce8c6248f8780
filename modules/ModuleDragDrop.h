// The "dragdrop" module: getFiles() gives the full paths of the files last dragged over the page
// (the page's own drop event sees only their names); doDragDrop(paths) drags files out of the
// window through the browser process, settling with {files: paths} when the drag ends, dropped or
// cancelled. Script thread only.
#pragma once

#include "modules/ModuleBase.h"

namespace tvn {

class ModuleDragDrop final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

} // namespace tvn
