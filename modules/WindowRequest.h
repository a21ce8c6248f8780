// The web process's way to the main window: a request to the browser process's UI thread over
// the window channel, answered before the call returns (the calling thread blocks meanwhile).
//
// A request is a JSON object {"window": <main window id>, "command": <name>, ...fields}; the reply
// is a JSON object. Without a main window id (a web process that was not given one) nothing is
// sent and every request comes back empty, as calls on a null window handle do nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace tvn {

// Carries one request line to the browser process and gives back its reply line (nullopt when
// nobody answered).
using WindowTransport = std::function<std::optional<std::string>(const std::string& request)>;

// Set once at the web process's start (and by tests).
void setMainWindowLink(int64_t windowId, WindowTransport);
int64_t mainWindowId();

// The reply to `command` with `fields` added; nullopt without a window id, an answer, or when the
// reply is not a JSON object.
std::optional<nlohmann::json> requestMainWindow(const std::string& command, nlohmann::json fields = nlohmann::json::object());

} // namespace tvn
