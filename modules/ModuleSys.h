// The "sys" module: the page's door to the machine outside the browser. The process's arguments,
// the clipboard and message boxes (the browser process's, over the window channel), well-known
// folders, config.ini, the file manager and the default browser, the device id and the encoded
// device information, the system's version and bitness, the channel, and child processes with
// their output.
//
// Script thread only; openFileDialog is answered by the browser process, the two ...Async methods
// work on the bridge's worker threads, exec on a thread of its own (ExecTask).
#pragma once

#include "modules/ModuleBase.h"

#include <string>
#include <vector>

namespace tvn {

class ModuleSys final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

// argv's value: the browser's arguments; without any, the one executable path a blank command
// line stands for.
std::vector<std::string> scriptArguments(const std::vector<std::string>& browserArguments, const std::string& executablePath);

// The system's temporary folder, ending with "/": $TMPDIR when set, else /tmp.
std::string temporaryFolder();

} // namespace tvn
