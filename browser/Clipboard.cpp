// Clipboard text on GTK.

#include "browser/Clipboard.h"

#include <gtk/gtk.h>
#include <memory>

namespace tvn {

namespace {

GtkClipboard* desktopClipboard()
{
    return gtk_clipboard_get_for_display(gdk_display_get_default(), GDK_SELECTION_CLIPBOARD);
}

} // namespace

void readClipboardText(std::function<void(std::optional<std::string>)> done)
{
    GtkClipboard* clipboard = desktopClipboard();
    if (!clipboard) {
        done(std::nullopt);
        return;
    }
    auto held = std::make_unique<std::function<void(std::optional<std::string>)>>(std::move(done));
    // GTK converts whatever text target the owner offers (UTF8_STRING, STRING, text/plain...) to UTF-8.
    gtk_clipboard_request_text(clipboard, [](GtkClipboard*, const char* text, gpointer data) {
        std::unique_ptr<std::function<void(std::optional<std::string>)>> done(static_cast<std::function<void(std::optional<std::string>)>*>(data));
        (*done)(text ? std::optional<std::string>(text) : std::nullopt);
    }, held.release());
}

bool writeClipboardText(const std::string& text)
{
    GtkClipboard* clipboard = desktopClipboard();
    if (!clipboard || !g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return false;
    gtk_clipboard_set_text(clipboard, text.data(), static_cast<int>(text.size()));
    // A clipboard manager, when there is one, keeps the text after this process ends.
    gtk_clipboard_set_can_store(clipboard, nullptr, 0);
    return true;
}

} // namespace tvn
