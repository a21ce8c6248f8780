// MainWindow: the program's one top-level window, undecorated, whose whole area the page fills.
//
// What a frameless window lacks, it supplies itself: presses in the page's top strip and
// draggable regions move it (a double click there maximises or restores a resizable window);
// while resizable, a 5-pixel border at the left, right and bottom and the top 5 pixels resize it;
// maximised, it covers its monitor's work area. Size changes reach the page through the throttle
// as "onSize". It opens where it was when it last closed (WindowPlacement.h), and never gets smaller
// than the page's layout needs while the user may resize it. Web processes drive it over the window channel (WindowControl).
// Destroying it keeps its placement and closes the application. UI thread only.
#pragma once

#include "window/WindowCommands.h"
#include "window/WindowPlacement.h"
#include "window/WindowRules.h"
#include "platform/GRef.h"

#include <functional>
#include <gtk/gtk.h>
#include <set>

namespace tvn {

class Client;

// The window size for a DPI (96 = unscaled): DPI x 1168 / 192 and DPI x 832 / 192, doubled.
struct WindowSize {
    int width;
    int height;
};
WindowSize mainWindowSize(unsigned dpi);

class MainWindow final : public WindowControl {
public:
    // Called once when the window is destroyed, after "window destroyed" is logged.
    explicit MainWindow(std::function<void()> onDestroyed);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window: where it last was (config.ini [window] placement) when that still fits,
    // else 1168 x 832 scaled by the screen's DPI, centred; class "CefMainWindow_tvn".
    void Create();
    void show();
    void close();
    // Shown, de-iconified and brought to the front (a second start asked for it).
    void present();

    // The client whose view fills the window: its presses are hit-tested, its regions drag.
    void setClient(Client*);

    // Told of size changes (size type, width, height of the page) through the throttle: at most
    // about one per 50 ms while sizes stream in, each at least 50 ms late, the last always; none
    // while minimised.
    void setSizeListener(std::function<void(int sizeType, int width, int height)> listener) { m_sizeListener = std::move(listener); }

    GtkWindow* window() const { return m_window; }

    // WindowControl: what the window channel's commands do.
    int64_t windowId() const override; // the X11 window id, 0 when there is none
    State state() const override;
    void setTopmost(bool) override;
    void OnSetResizeable(bool) override;
    void closeWindow() override { close(); }
    void showWindow(Show) override;
    void setWindowPos(bool move, int x, int y, bool size, int width, int height) override;
    void centerWindow(std::optional<int> width, std::optional<int> height) override;
    void bringToFront() override { present(); }
    void flash() override;
    void setIcon(const std::vector<uint8_t>& image) override;
    void setBackground(const std::string& color) override;
    void showMessageBox(const MessageBoxRequest&, std::function<void(int id)> answered) override;
    void readClipboardText(std::function<void(std::optional<std::string>)> done) override;
    bool writeClipboardText(const std::string& text) override;

private:
    // The application's own icon, in its sizes, until the page sets another.
    void setApplicationIcon();
    static void onDestroy(GtkWidget*, gpointer self);
    static void onViewSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self);
    static gboolean onWindowState(GtkWidget*, GdkEventWindowState*, gpointer self);
    static gboolean onConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
    static gboolean onWindowPress(GtkWidget*, GdkEventButton*, gpointer self);
    static gboolean onViewPress(GtkWidget*, GdkEventButton*, gpointer self);
    static gboolean onMotion(GtkWidget*, GdkEventMotion*, gpointer self);
    static gboolean onRelease(GtkWidget*, GdkEventButton*, gpointer self);
    static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer self);
    static gboolean onSizeDue(gpointer pending);

    GdkWindow* gdkWindow() const; // null until realised, and once destroyed
    bool isMaximized() const;
    bool hasFrame() const { return m_resizeable && !isMaximized(); }
    // The 5-pixel frame around the page (left, right, bottom) while resizable and not maximised.
    void applyFrame();
    // A press at window coordinates (x, y) that belongs to the window: move, resize or maximise.
    void windowPress(GdkEventButton*, int x, int y, bool draggable);
    void updateFrameCursor(GdkEventMotion*);
    // The saved placement, when it fits today's monitors; else the default size, centred.
    void place(unsigned dpi);
    void savePlacement();
    // The frame as it stands, kept as the restored one unless the window is maximised or minimised.
    void sampleFrame();
    // The page's current size and the window's state through the throttle; `again` even when
    // neither changed.
    void noteSize(bool again);
    void removePendingSizes(); // and a frame sample due
    void disconnectView();

    GtkWindow* m_window = nullptr; // owned by GTK's toplevel list; destroyed by GTK or by us
    std::vector<gulong> m_windowHandlers;
    std::function<void()> m_onDestroyed;
    Client* m_client = nullptr;
    GtkWidget* m_view = nullptr;
    std::vector<gulong> m_viewHandlers;
    bool m_resizeable = false;
    bool m_topmost = false;
    WindowSize m_minimum { kMinimumWindowWidth, kMinimumWindowHeight }; // scaled by the screen's DPI
    WindowRect m_restoredFrame; // the last frame while neither maximised nor minimised
    bool m_maximized = false;
    guint m_frameSample = 0; // the timeout source of a frame sample due
    GRef<GtkCssProvider> m_background; // the page's background colour, for the frame around it

    // A press on the caption: the move starts once the pointer has gone past the drag threshold,
    // so that a double click can still maximise.
    struct CaptionPress {
        guint button = 0;
        int rootX = 0, rootY = 0;
        guint32 time = 0;
    };
    std::optional<CaptionPress> m_captionPress;

    std::function<void(int, int, int)> m_sizeListener;
    SizeThrottle m_throttle;
    int m_lastType = -1, m_lastWidth = -1, m_lastHeight = -1;
    std::set<guint> m_pendingSizes; // timeout sources not yet run; removed with the window
};

// The resize edge of a hit code; nullopt for codes that do not resize.
std::optional<GdkWindowEdge> resizeEdge(HitCode);

} // namespace tvn
