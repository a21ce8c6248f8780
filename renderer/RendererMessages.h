// The messages the browser process sends to a page's web process, and what each does there:
//   "result"        [callId, dictionary]   settles the pending thenable of that call
//   "runJavascript" [source]               runs the source in the page's main frame
//   "onSize"        [sizeType, {w, h}]     publishes "onSize" (browser id, type, w, h) on the bus
//   "drag"          [{type, files}]        type "file": replaces the dragged-file list (DragFiles.h)
//   "tray"          [msg, x, y]            publishes "trayEvent" (browser id, msg, x, y) on the bus
// Arguments travel as one JSON array. Script thread only.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tvn {

class CallBridge;

struct RendererMessageTargets {
    CallBridge* bridge = nullptr;
    std::function<void(const std::string& source)> runJavascript;
};

// True when the message was handled and needs no further handling (the renderer's convention).
bool handleRendererMessage(int browserId, const std::string& name, const nlohmann::json& arguments, RendererMessageTargets&);

} // namespace tvn
