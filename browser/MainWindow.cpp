// The main window on GTK 3.

#include "browser/MainWindow.h"

#include "browser/ApplicationIcon.h"
#include "browser/Client.h"
#include "browser/Clipboard.h"
#include "browser/MessageBoxDialog.h"
#include "core/GlobalConfig.h"
#include "core/Log.h"
#include "core/Paths.h"

#include <cstdlib>
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

std::optional<GdkWindowEdge> resizeEdge(HitCode code)
{
    switch (code) {
    case kHitLeft:
        return GDK_WINDOW_EDGE_WEST;
    case kHitRight:
        return GDK_WINDOW_EDGE_EAST;
    case kHitTop:
        return GDK_WINDOW_EDGE_NORTH;
    case kHitTopLeft:
        return GDK_WINDOW_EDGE_NORTH_WEST;
    case kHitTopRight:
        return GDK_WINDOW_EDGE_NORTH_EAST;
    case kHitBottom:
        return GDK_WINDOW_EDGE_SOUTH;
    case kHitBottomLeft:
        return GDK_WINDOW_EDGE_SOUTH_WEST;
    case kHitBottomRight:
        return GDK_WINDOW_EDGE_SOUTH_EAST;
    default:
        return std::nullopt;
    }
}

MainWindow::MainWindow(std::function<void()> onDestroyed)
    : m_onDestroyed(std::move(onDestroyed))
{
}

MainWindow::~MainWindow()
{
    removePendingSizes();
    disconnectView();
    if (!m_window)
        return; // GTK destroyed it, and its handlers with it
    for (const gulong handler : m_windowHandlers)
        g_signal_handler_disconnect(m_window, handler);
    gtk_widget_destroy(GTK_WIDGET(std::exchange(m_window, nullptr)));
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

GdkMonitor* primaryMonitor(GdkDisplay* display)
{
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor ? monitor : gdk_display_get_monitor(display, 0);
}

int dragThreshold()
{
    int threshold = 8;
    g_object_get(gtk_settings_get_default(), "gtk-dnd-drag-threshold", &threshold, nullptr);
    return threshold;
}

} // namespace

void MainWindow::Create()
{
    m_window = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_window_set_wmclass(m_window, "CefMainWindow_tvn", "CefMainWindow_tvn");
    setApplicationIcon();
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_window_set_decorated(m_window, FALSE);
    // Always resizable for GTK, so that the program can size it; the user's resizing is ours.
    gtk_window_set_resizable(m_window, TRUE);
    GdkScreen* screen = gtk_window_get_screen(m_window);
    const double resolution = screen ? gdk_screen_get_resolution(screen) : -1;
    place(resolution > 0 ? static_cast<unsigned>(resolution) : 96);
    gtk_widget_add_events(GTK_WIDGET(m_window), GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    m_windowHandlers = {
        g_signal_connect(m_window, "destroy", G_CALLBACK(onDestroy), this),
        g_signal_connect(m_window, "window-state-event", G_CALLBACK(onWindowState), this),
        g_signal_connect(m_window, "configure-event", G_CALLBACK(onConfigure), this),
        g_signal_connect(m_window, "button-press-event", G_CALLBACK(onWindowPress), this),
        g_signal_connect(m_window, "button-release-event", G_CALLBACK(onRelease), this),
        g_signal_connect(m_window, "motion-notify-event", G_CALLBACK(onMotion), this),
        g_signal_connect(m_window, "focus-in-event", G_CALLBACK(onFocusIn), this),
    };
    gtk_widget_realize(GTK_WIDGET(m_window));
    LOG_INFO << "window created";
}

void MainWindow::place(unsigned dpi)
{
    m_minimum = { static_cast<int>(dpi * kMinimumWindowWidth / 96), static_cast<int>(dpi * kMinimumWindowHeight / 96) };

    std::vector<WindowRect> workAreas;
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(m_window));
    for (int i = 0; display && i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area {};
        gdk_monitor_get_workarea(gdk_display_get_monitor(display, i), &area);
        workAreas.push_back({ area.x, area.y, area.width, area.height });
    }
    const std::optional<WindowPlacement> saved = parsePlacement(GlobalConfig::instance().get("window", "placement", ""));
    const std::optional<WindowPlacement> placement = saved ? restoredPlacement(*saved, workAreas, m_minimum.width, m_minimum.height) : std::nullopt;
    if (!placement) {
        const WindowSize size = mainWindowSize(dpi);
        gtk_window_set_default_size(m_window, size.width, size.height);
        gtk_window_set_position(m_window, GTK_WIN_POS_CENTER);
        return;
    }
    const WindowRect& frame = placement->frame;
    gtk_window_set_default_size(m_window, frame.width, frame.height);
    gtk_window_move(m_window, frame.x, frame.y);
    m_restoredFrame = frame;
    if (placement->maximized)
        gtk_window_maximize(m_window);
    LOG_INFO << "window placed as it was: " << formatPlacement(*placement);
}

void MainWindow::savePlacement()
{
    if (!m_maximized)
        sampleFrame();
    if (m_restoredFrame.width <= 0 || m_restoredFrame.height <= 0)
        return; // never shown
    if (!GlobalConfig::instance().set("window", "placement", formatPlacement({ m_restoredFrame, m_maximized }))) {
        LOG_ERROR << "window placement not saved";
    }
}

void MainWindow::sampleFrame()
{
    GdkWindow* window = gdkWindow();
    if (window && !(gdk_window_get_state(window) & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_FULLSCREEN))) {
        gtk_window_get_position(m_window, &m_restoredFrame.x, &m_restoredFrame.y);
        gtk_window_get_size(m_window, &m_restoredFrame.width, &m_restoredFrame.height);
    }
}

// A maximise configures the window (moved to the work area, then sized) before its state says
// so: the frame is sampled a moment later, once the state has caught up.
gboolean MainWindow::onConfigure(GtkWidget*, GdkEventConfigure*, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    if (!self->m_frameSample) {
        self->m_frameSample = g_timeout_add(200, [](gpointer data) -> gboolean {
            auto* self = static_cast<MainWindow*>(data);
            self->m_frameSample = 0;
            self->sampleFrame();
            return G_SOURCE_REMOVE;
        }, self);
    }
    return FALSE;
}

void MainWindow::setClient(Client* client)
{
    disconnectView();
    m_client = client;
    m_view = client ? GTK_WIDGET(client->view()) : nullptr;
    if (!m_view)
        return;
    // Connected before the view's own handlers run, so presses that belong to the window never
    // reach the page.
    m_viewHandlers = {
        g_signal_connect(m_view, "button-press-event", G_CALLBACK(onViewPress), this),
        g_signal_connect(m_view, "button-release-event", G_CALLBACK(onRelease), this),
        g_signal_connect(m_view, "motion-notify-event", G_CALLBACK(onMotion), this),
        g_signal_connect(m_view, "size-allocate", G_CALLBACK(onViewSizeAllocate), this),
    };
    applyFrame();
}

void MainWindow::disconnectView()
{
    if (m_view)
        for (const gulong handler : m_viewHandlers)
            g_signal_handler_disconnect(m_view, handler);
    m_viewHandlers.clear();
    m_view = nullptr;
    m_client = nullptr;
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
    // What the window manager's close request does: the window goes, and the application with it.
    if (m_window)
        gtk_window_close(m_window);
}

GdkWindow* MainWindow::gdkWindow() const
{
    return m_window ? gtk_widget_get_window(GTK_WIDGET(m_window)) : nullptr;
}

int64_t MainWindow::windowId() const
{
    GdkWindow* window = gdkWindow();
    if (!window || !GDK_IS_X11_WINDOW(window))
        return 0;
    return static_cast<int64_t>(gdk_x11_window_get_xid(window));
}

bool MainWindow::isMaximized() const
{
    GdkWindow* window = gdkWindow();
    return window && (gdk_window_get_state(window) & GDK_WINDOW_STATE_MAXIMIZED);
}

// ---- Hit-testing: presses that belong to the window ----

void MainWindow::applyFrame()
{
    if (!m_view)
        return;
    const int border = hasFrame() ? kResizeBorder : 0;
    gtk_widget_set_margin_start(m_view, border);
    gtk_widget_set_margin_end(m_view, border);
    gtk_widget_set_margin_bottom(m_view, border);
}

gboolean MainWindow::onViewPress(GtkWidget* view, GdkEventButton* event, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    const int viewX = static_cast<int>(event->x), viewY = static_cast<int>(event->y);
    const bool draggable = self->m_client && self->m_client->inDraggableRegion(viewX, viewY);
    if (!belongsToWindow(viewY, draggable))
        return FALSE; // the page's
    int x = viewX, y = viewY;
    gtk_widget_translate_coordinates(view, GTK_WIDGET(self->m_window), viewX, viewY, &x, &y);
    self->windowPress(event, x, y, draggable);
    return TRUE;
}

gboolean MainWindow::onWindowPress(GtkWidget* widget, GdkEventButton* event, gpointer data)
{
    // Only presses on the window's own area (its frame); the view's come through onViewPress.
    if (event->window != gtk_widget_get_window(widget))
        return FALSE;
    static_cast<MainWindow*>(data)->windowPress(event, static_cast<int>(event->x), static_cast<int>(event->y), false);
    return TRUE;
}

void MainWindow::windowPress(GdkEventButton* event, int x, int y, bool draggable)
{
    if (event->button != GDK_BUTTON_PRIMARY)
        return;
    const HitCode code = hitTest(x, y, gtk_widget_get_allocated_width(GTK_WIDGET(m_window)),
        gtk_widget_get_allocated_height(GTK_WIDGET(m_window)), m_resizeable, isMaximized(), draggable);
    if (code == kHitCaption) {
        if (event->type == GDK_2BUTTON_PRESS) {
            m_captionPress.reset();
            if (m_resizeable)
                isMaximized() ? gtk_window_unmaximize(m_window) : gtk_window_maximize(m_window);
        } else if (event->type == GDK_BUTTON_PRESS) {
            m_captionPress = CaptionPress { event->button, static_cast<int>(event->x_root), static_cast<int>(event->y_root), event->time };
        }
        return;
    }
    if (const std::optional<GdkWindowEdge> edge = resizeEdge(code); edge && event->type == GDK_BUTTON_PRESS)
        gtk_window_begin_resize_drag(m_window, *edge, static_cast<int>(event->button), static_cast<int>(event->x_root),
            static_cast<int>(event->y_root), event->time);
}

namespace {

// The pointer's look over a resize edge, as the window system draws it for framed windows.
const char* edgeCursor(HitCode code)
{
    switch (code) {
    case kHitLeft:
        return "w-resize";
    case kHitRight:
        return "e-resize";
    case kHitTop:
        return "n-resize";
    case kHitTopLeft:
        return "nw-resize";
    case kHitTopRight:
        return "ne-resize";
    case kHitBottom:
        return "s-resize";
    case kHitBottomLeft:
        return "sw-resize";
    case kHitBottomRight:
        return "se-resize";
    default:
        return nullptr;
    }
}

} // namespace

// Over the window's own frame (the view sets its own pointer elsewhere).
void MainWindow::updateFrameCursor(GdkEventMotion* event)
{
    GdkWindow* window = gdkWindow();
    if (event->window != window)
        return;
    const HitCode code = hitTest(static_cast<int>(event->x), static_cast<int>(event->y), gtk_widget_get_allocated_width(GTK_WIDGET(m_window)),
        gtk_widget_get_allocated_height(GTK_WIDGET(m_window)), m_resizeable, isMaximized(), false);
    const char* name = edgeCursor(code);
    GRef<GdkCursor> cursor = name ? GRef<GdkCursor>::adopt(gdk_cursor_new_from_name(gdk_window_get_display(window), name)) : GRef<GdkCursor>();
    gdk_window_set_cursor(window, cursor.get());
}

gboolean MainWindow::onMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    self->updateFrameCursor(event);
    if (!self->m_captionPress)
        return FALSE;
    if (!(event->state & GDK_BUTTON1_MASK)) {
        self->m_captionPress.reset();
        return FALSE;
    }
    const CaptionPress press = *self->m_captionPress;
    const int threshold = dragThreshold();
    if (std::abs(static_cast<int>(event->x_root) - press.rootX) <= threshold && std::abs(static_cast<int>(event->y_root) - press.rootY) <= threshold)
        return TRUE;
    self->m_captionPress.reset();
    gtk_window_begin_move_drag(self->m_window, static_cast<int>(press.button), press.rootX, press.rootY, press.time);
    return TRUE;
}

gboolean MainWindow::onRelease(GtkWidget*, GdkEventButton*, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    if (!self->m_captionPress)
        return FALSE;
    self->m_captionPress.reset();
    return TRUE; // its press never reached the page
}

// ---- State and size ----

void MainWindow::removePendingSizes()
{
    if (m_frameSample)
        g_source_remove(std::exchange(m_frameSample, 0));
    for (const guint source : m_pendingSizes)
        g_source_remove(source);
    m_pendingSizes.clear();
}

void MainWindow::onViewSizeAllocate(GtkWidget*, GdkRectangle*, gpointer data)
{
    static_cast<MainWindow*>(data)->noteSize(false);
}

gboolean MainWindow::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    if (!(event->new_window_state & GDK_WINDOW_STATE_ICONIFIED))
        self->m_maximized = event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED;
    // The window manager maximises to the work area (the monitor less its panels).
    if (event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)
        self->applyFrame();
    if (event->changed_mask & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_ICONIFIED))
        self->noteSize(false);
    return FALSE;
}

// GTK allocates on every change (and sometimes again with the same size); only real changes count.
void MainWindow::noteSize(bool again)
{
    if (!m_window || !m_view)
        return;
    GdkWindow* window = gdkWindow();
    const GdkWindowState state = window ? gdk_window_get_state(window) : GdkWindowState(0);
    const int type = state & GDK_WINDOW_STATE_ICONIFIED ? kSizeMinimized
        : state & GDK_WINDOW_STATE_MAXIMIZED            ? kSizeMaximized
                                                         : kSizeRestored;
    const int width = gtk_widget_get_allocated_width(m_view);
    const int height = gtk_widget_get_allocated_height(m_view);
    if (!again && type == m_lastType && width == m_lastWidth && height == m_lastHeight)
        return;
    m_lastType = type;
    m_lastWidth = width;
    m_lastHeight = height;

    const int64_t now = monotonicMs();
    if (!m_throttle.sizeChanged(type, now))
        return;
    auto pending = std::make_unique<PendingSize>(PendingSize { this, type, width, height, now });
    PendingSize* raw = pending.get();
    raw->source = g_timeout_add_full(G_PRIORITY_DEFAULT, SizeThrottle::kDelayMs, onSizeDue, pending.release(),
        [](gpointer data) { std::unique_ptr<PendingSize>(static_cast<PendingSize*>(data)); });
    m_pendingSizes.insert(raw->source);
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

// ---- WindowControl ----

WindowControl::State MainWindow::state() const
{
    State state;
    state.topmost = m_topmost;
    state.resizable = m_resizeable;
    state.maximized = isMaximized();
    GdkWindow* window = gdkWindow();
    if (window) {
        GdkRectangle frame {};
        gdk_window_get_frame_extents(window, &frame);
        state.width = frame.width;
        state.height = frame.height;
    }
    return state;
}

void MainWindow::setTopmost(bool topmost)
{
    if (!m_window)
        return;
    m_topmost = topmost;
    gtk_window_set_keep_above(m_window, topmost);
    noteSize(true); // the page hears its size once more
}

void MainWindow::OnSetResizeable(bool resizeable)
{
    m_resizeable = resizeable;
    LOG_INFO << "window set resizeable : " << (resizeable ? 1 : 0);
    applyFrame();
    // The minimum holds what the user may do; a page that keeps its window's size sets it freely.
    GdkGeometry hints {};
    hints.min_width = m_minimum.width;
    hints.min_height = m_minimum.height;
    if (m_window)
        gtk_window_set_geometry_hints(m_window, nullptr, &hints, resizeable ? GDK_HINT_MIN_SIZE : GdkWindowHints(0));
}

void MainWindow::showWindow(Show command)
{
    if (!m_window)
        return;
    switch (command) {
    case Show::Show:
        gtk_widget_show(GTK_WIDGET(m_window));
        break;
    case Show::Hide:
        gtk_widget_hide(GTK_WIDGET(m_window));
        break;
    case Show::Minimize:
        gtk_window_iconify(m_window);
        break;
    case Show::Maximize:
        gtk_widget_show(GTK_WIDGET(m_window));
        gtk_window_deiconify(m_window);
        gtk_window_maximize(m_window);
        break;
    case Show::Restore: {
        GdkWindow* window = gdkWindow();
        if (window && (gdk_window_get_state(window) & GDK_WINDOW_STATE_ICONIFIED))
            gtk_window_deiconify(m_window);
        else if (isMaximized())
            gtk_window_unmaximize(m_window);
        gtk_widget_show(GTK_WIDGET(m_window));
        break;
    }
    }
}

void MainWindow::setWindowPos(bool move, int x, int y, bool size, int width, int height)
{
    if (!m_window)
        return;
    if (move)
        gtk_window_move(m_window, x, y);
    if (size)
        gtk_window_resize(m_window, std::max(width, 1), std::max(height, 1)); // X11 has no empty windows
    gtk_widget_show(GTK_WIDGET(m_window));
}

void MainWindow::centerWindow(std::optional<int> width, std::optional<int> height)
{
    if (!m_window)
        return;
    const State current = state();
    const int w = width.value_or(current.width), h = height.value_or(current.height);
    GdkMonitor* monitor = primaryMonitor(gtk_widget_get_display(GTK_WIDGET(m_window)));
    if (!monitor)
        return;
    GdkRectangle screen {};
    gdk_monitor_get_geometry(monitor, &screen);
    setWindowPos(true, screen.x + (screen.width - w) / 2, screen.y + (screen.height - h) / 2, true, w, h);
}

void MainWindow::setBackground(const std::string& color)
{
    GdkRGBA parsed {};
    if (!m_window || !gdk_rgba_parse(&parsed, color.c_str()))
        return;
    // The parsed colour written anew: nothing of the page's text reaches the style sheet.
    GUnique<char> text(gdk_rgba_to_string(&parsed));
    const std::string css = std::string("window.tvn-main { background-color: ") + text.get() + "; }";
    if (!m_background) {
        m_background = GRef<GtkCssProvider>::adopt(gtk_css_provider_new());
        GtkStyleContext* style = gtk_widget_get_style_context(GTK_WIDGET(m_window));
        gtk_style_context_add_class(style, "tvn-main");
        gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(m_background.get()), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_css_provider_load_from_data(m_background.get(), css.c_str(), -1, nullptr);
}

void MainWindow::flash()
{
    if (m_window)
        gtk_window_set_urgency_hint(m_window, TRUE);
}

gboolean MainWindow::onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    gtk_window_set_urgency_hint(self->m_window, FALSE); // the user has seen it
    return FALSE;
}

void MainWindow::setIcon(const std::vector<uint8_t>& image)
{
    if (!m_window)
        return;
    GRef<GdkPixbufLoader> loader = GRef<GdkPixbufLoader>::adopt(gdk_pixbuf_loader_new());
    GdkPixbuf* icon = nullptr;
    if (!image.empty() && gdk_pixbuf_loader_write(loader.get(), image.data(), image.size(), nullptr)
        && gdk_pixbuf_loader_close(loader.get(), nullptr))
        icon = gdk_pixbuf_loader_get_pixbuf(loader.get());
    else
        gdk_pixbuf_loader_close(loader.get(), nullptr);
    // The window holds the new icon; the previous one is released with it.
    gtk_window_set_icon(m_window, icon);
}

void MainWindow::setApplicationIcon()
{
    GList* list = nullptr;
    const std::vector<GRef<GdkPixbuf>> icons = applicationIcons(modulePath().parent_path());
    for (const GRef<GdkPixbuf>& icon : icons)
        list = g_list_append(list, icon.get());
    if (list)
        gtk_window_set_icon_list(m_window, list);
    g_list_free(list);
}

void MainWindow::showMessageBox(const MessageBoxRequest& request, std::function<void(int id)> answered)
{
    tvn::showMessageBox(m_window, request, std::move(answered));
}

void MainWindow::readClipboardText(std::function<void(std::optional<std::string>)> done)
{
    tvn::readClipboardText(std::move(done));
}

bool MainWindow::writeClipboardText(const std::string& text)
{
    return tvn::writeClipboardText(text);
}

void MainWindow::onDestroy(GtkWidget*, gpointer data)
{
    auto* self = static_cast<MainWindow*>(data);
    self->savePlacement();
    LOG_INFO << "window destroyed";
    self->removePendingSizes();
    self->disconnectView();
    self->m_window = nullptr;
    self->m_windowHandlers.clear();
    if (self->m_onDestroyed)
        std::exchange(self->m_onDestroyed, nullptr)();
}

} // namespace tvn
