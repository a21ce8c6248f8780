// The page's message box on GTK: a modal dialog over the main window with the icon, the main
// instruction as the primary text, the content as the secondary text and the request's buttons.
// The dialog does not block the UI thread; its answer arrives through a callback. UI thread only.
#pragma once

#include "window/MessageBox.h"

#include <functional>
#include <gtk/gtk.h>

namespace tvn {

// Shows the dialog; `answered` gets the result id of the button pressed (or of the Cancel that
// Escape stands for), or 0 when the dialog went without an answer (its owner was destroyed).
void showMessageBox(GtkWindow* owner, const MessageBoxRequest&, std::function<void(int id)> answered);

} // namespace tvn
