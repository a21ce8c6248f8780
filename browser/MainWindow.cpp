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
    if (m_window && m_destroyHandler)
        g_signal_handler_disconnect(m_window, m_destroyHandler);
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
    self->m_window = nullptr;
    self->m_destroyHandler = 0;
    if (self->m_onDestroyed)
        std::exchange(self->m_onDestroyed, nullptr)();
}

} // namespace tvn
