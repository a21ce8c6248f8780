// The main window on GTK 3.

#include "browser/MainWindow.h"

#include "app/Log.h"

#include <gdk/gdkx.h>

namespace tvn {

WindowSize mainWindowSize(unsigned dpi)
{
    if (!dpi)
        dpi = 96;
    const unsigned halfWidth = dpi * 1168 / 192;
    const unsigned halfHeight = dpi * 832 / 192;
    return { static_cast<int>(2 * halfWidth), static_cast<int>(2 * halfHeight) };
}

MainWindow::MainWindow(std::function<void()> onDestroyed)
    : m_onDestroyed(std::move(onDestroyed))
{
}

MainWindow::~MainWindow()
{
    removePendingSizes();
    if (m_window && m_destroyHandler)
        g_signal_handler_disconnect(m_window, m_destroyHandler);
}

namespace {

struct PendingSize {
    MainWindow* window;
    int type, width, height;
    int64_t changedAt;
    guint source = 0;
};

int64_t monotonicMs()
{
    return g_get_monotonic_time() / 1000;
}

} // namespace

void MainWindow::removePendingSizes()
{
    for (const guint source : m_pendingSizes)
        g_source_remove(source);
    m_pendingSizes.clear();
}

// GTK allocates on every change (and sometimes again with the same size); only real changes count.
void MainWindow::onSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    GdkWindow* window = gtk_widget_get_window(widget);
    const GdkWindowState state = window ? gdk_window_get_state(window) : GdkWindowState(0);
    const int type = state & GDK_WINDOW_STATE_ICONIFIED ? kSizeMinimized
        : state & GDK_WINDOW_STATE_MAXIMIZED            ? kSizeMaximized
                                                         : kSizeRestored;
    if (type == self->m_lastType && allocation->width == self->m_lastWidth && allocation->height == self->m_lastHeight)
        return;
    self->m_lastType = type;
    self->m_lastWidth = allocation->width;
    self->m_lastHeight = allocation->height;

    const int64_t now = monotonicMs();
    if (!self->m_throttle.sizeChanged(type, now))
        return;
    auto pending = std::make_unique<PendingSize>(PendingSize { self, type, allocation->width, allocation->height, now });
    PendingSize* raw = pending.get();
    raw->source = g_timeout_add_full(G_PRIORITY_DEFAULT, SizeThrottle::kDelayMs, onSizeDue, pending.release(),
        [](gpointer data) { std::unique_ptr<PendingSize>(static_cast<PendingSize*>(data)); });
    self->m_pendingSizes.insert(raw->source);
}

gboolean MainWindow::onSizeDue(gpointer data)
{
    const auto* pending = static_cast<PendingSize*>(data);
    MainWindow* self = pending->window;
    self->m_pendingSizes.erase(pending->source);
    if (self->m_throttle.shouldDeliver(pending->changedAt) && self->m_sizeListener)
        self->m_sizeListener(pending->type, pending->width, pending->height);
    return G_SOURCE_REMOVE;
}

void MainWindow::Create()
{
    m_window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_window_set_wmclass(m_window, "CefMainWindow_tvn", "CefMainWindow_tvn");
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_window_set_decorated(m_window, FALSE);
    gtk_window_set_resizable(m_window, TRUE);
    GdkScreen* screen = gtk_window_get_screen(m_window);
    const double resolution = screen ? gdk_screen_get_resolution(screen) : -1;
    const WindowSize size = mainWindowSize(resolution > 0 ? static_cast<unsigned>(resolution) : 96);
    gtk_window_set_default_size(m_window, size.width, size.height);
    gtk_window_set_position(m_window, GTK_WIN_POS_CENTER);
    m_destroyHandler = g_signal_connect(m_window, "destroy", G_CALLBACK(onDestroy), this);
    g_signal_connect(m_window, "size-allocate", G_CALLBACK(onSizeAllocate), this);
    gtk_widget_realize(GTK_WIDGET(m_window));
    LOG_INFO << "window created";
}

void MainWindow::show()
{
    gtk_widget_show_all(GTK_WIDGET(m_window));
}

void MainWindow::present()
{
    if (!m_window)
        return;
    gtk_widget_show(GTK_WIDGET(m_window));
    gtk_window_deiconify(m_window);
    gtk_window_present(m_window);
}

void MainWindow::close()
{
    if (m_window)
        gtk_widget_destroy(GTK_WIDGET(m_window));
}

int64_t MainWindow::windowId() const
{
    GdkWindow* window = m_window ? gtk_widget_get_window(GTK_WIDGET(m_window)) : nullptr;
    if (!window || !GDK_IS_X11_WINDOW(window))
        return 0;
    return static_cast<int64_t>(gdk_x11_window_get_xid(window));
}

void MainWindow::onDestroy(GtkWidget*, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    LOG_INFO << "window destroyed";
    self->removePendingSizes();
    self->m_window = nullptr;
    self->m_destroyHandler = 0;
    if (self->m_onDestroyed)
        std::exchange(self->m_onDestroyed, nullptr)();
}

} // namespace tvn
