// The page's alert, confirm and prompt, as GTK dialogs owned by the main window. The engine shows
// none of its own.
//
// alert: the message and an OK button. confirm: Yes and No; true only for Yes. prompt: the message
// above a multi-line text field holding the default text, and the buttons "确定" and "取消";
// whichever closes it (Escape too), the page gets the field's text, never a cancellation. Both
// texts are cut to kPromptLimit characters.
#pragma once

#include <string>
#include <string_view>
#include <webkit2/webkit2.h>

namespace tvn {

inline constexpr size_t kPromptLimit = 1023;

// `text` cut to at most `limit` characters (UTF-8 code points; a broken sequence is cut before).
std::string cutToCharacters(std::string_view text, size_t limit);

// The top-level window holding `view` (the owner of its dialogs); null before it is placed in one.
GtkWindow* dialogOwner(WebKitWebView* view);

// Connects the dialogs to `view`.
void setUpScriptDialogs(WebKitWebView* view);

} // namespace tvn
