// The desktop clipboard (the CLIPBOARD selection) as the page reaches it: plain text, Unicode both
// ways. Reading waits for the owner to answer without blocking the UI thread. UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tvn {

// `done` gets the clipboard's text as UTF-8, or nullopt when it holds no text.
void readClipboardText(std::function<void(std::optional<std::string>)> done);
// Owns the clipboard with `text` (UTF-8); false when the text is not UTF-8 or GTK refuses.
bool writeClipboardText(const std::string& text);

} // namespace tvn
