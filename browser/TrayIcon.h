// The application's tray icon, in the UI process: a StatusNotifierItem on the session bus when a
// StatusNotifierWatcher is there (current desktops host those; their Activate, SecondaryActivate
// and ContextMenu calls carry the pointer's position), else an embedded (XEmbed) status icon. Its
// pointer events go to the listener as notification numbers with the pointer's screen position.
// The icon is removed when the object goes. UI thread only.
#pragma once

#include "window/TrayCommands.h"
#include "platform/GRef.h"

#include <functional>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <memory>
#include <vector>

namespace tvn {

class TrayIcon final : public TrayControl {
public:
    // (page, notification, x, y)
    using Listener = std::function<void(int page, int notification, int x, int y)>;

    // `applicationIcons`: the application's own icon in its sizes.
    TrayIcon(std::vector<GRef<GdkPixbuf>> applicationIcons, Listener);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    void add(const TrayImage&, int page) override;
    void show() override;
    void modify(const TrayImage&) override;
    void hide() override;
    bool hosted() const override;

    // The images an image request loads to (the application's own sizes, one loaded image, or
    // none when the bytes are no image).
    std::optional<std::vector<GRef<GdkPixbuf>>> load(const TrayImage&) const;

private:
    class Host;
    class NotifierItemHost;
    class EmbeddedHost;

    void notify(TrayAction, int button, int x, int y);

    std::vector<GRef<GdkPixbuf>> m_applicationIcons;
    Listener m_listener;
    std::unique_ptr<Host> m_host; // made by the first add
    std::vector<GRef<GdkPixbuf>> m_images;
    bool m_visible = false;
    int m_page = 0;
};

// A pixbuf as a status notifier's pixmap: ARGB32, network byte order, row after row.
std::vector<uint8_t> notifierPixmap(GdkPixbuf*);

// The bytes of an image in any format the image loader reads; nullptr when they are none.
GRef<GdkPixbuf> loadImage(const std::vector<uint8_t>& bytes);

} // namespace tvn
