// MainWindow: the program's one top-level window, undecorated, whose whole area the page fills.
// Destroying it closes the application. (Hit-testing, resizing and size notifications of the
// frameless window live with the window module's work.)
#pragma once

#include "platform/GRef.h"

#include <functional>
#include <gtk/gtk.h>

namespace tvn {

class MainWindow {
public:
    // Called once when the window is destroyed, after "window destroyed" is logged.
    explicit MainWindow(std::function<void()> onDestroyed);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window: 1168 x 832 scaled by the screen's DPI, centred, class "CefMainWindow_tvn".
    void Create();
    void show();
    void close();
    // Shown, de-iconified and brought to the front (a second start asked for it).
    void present();

    GtkWindow* window() const { return m_window; }
    // The X11 window id (0 when there is none); handed to the web processes.
    int64_t windowId() const;

private:
    static void onDestroy(GtkWidget*, gpointer self);

    GtkWindow* m_window = nullptr; // owned by GTK's toplevel list until destroyed
    std::function<void()> m_onDestroyed;
    gulong m_destroyHandler = 0;
};

// The window size for a DPI (96 = unscaled): DPI x 1168 / 192 and DPI x 832 / 192, doubled.
struct WindowSize {
    int width;
    int height;
};
WindowSize mainWindowSize(unsigned dpi);

} // namespace tvn
