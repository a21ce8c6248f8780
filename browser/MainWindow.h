// MainWindow: the program's one top-level window, undecorated, whose whole area the page fills.
// Destroying it closes the application. (Hit-testing, resizing and size notifications of the
// frameless window live with the window module's work.)
#pragma once

#include "browser/WindowRules.h"
#include "platform/GRef.h"

#include <functional>
#include <gtk/gtk.h>
#include <set>

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

    // Told of size changes (size type, width, height) through the throttle: at most about one per
    // 50 ms while sizes stream in, each at least 50 ms late, the last always; none while minimised.
    void setSizeListener(std::function<void(int sizeType, int width, int height)> listener) { m_sizeListener = std::move(listener); }

    GtkWindow* window() const { return m_window; }
    // The X11 window id (0 when there is none); handed to the web processes.
    int64_t windowId() const;

private:
    static void onDestroy(GtkWidget*, gpointer self);
    static void onSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self);
    static gboolean onSizeDue(gpointer pending);
    void removePendingSizes();

    GtkWindow* m_window = nullptr; // owned by GTK's toplevel list until destroyed
    std::function<void()> m_onDestroyed;
    gulong m_destroyHandler = 0;
    std::function<void(int, int, int)> m_sizeListener;
    SizeThrottle m_throttle;
    int m_lastType = -1, m_lastWidth = -1, m_lastHeight = -1;
    std::set<guint> m_pendingSizes; // timeout sources not yet run; removed with the window
};

// The window size for a DPI (96 = unscaled): DPI x 1168 / 192 and DPI x 832 / 192, doubled.
struct WindowSize {
    int width;
    int height;
};
WindowSize mainWindowSize(unsigned dpi);

} // namespace tvn
