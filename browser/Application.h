// Application: the browser process's own object. It starts the process's log, sets up WebKit's
// context (the app scheme, the cache folder, no proxy, the web extension and the data each web
// process receives), answers the web processes' window channel, chooses the start page, creates the page's view in the main window, and
// closes everything once when the main window goes.
//
// UI thread only.
#pragma once

#include "browser/Client.h"
#include "browser/MainWindow.h"
#include "browser/TrayIcon.h"
#include "platform/GRef.h"
#include "platform/WindowChannel.h"

#include <memory>
#include <string>
#include <vector>
#include <webkit2/webkit2.h>

namespace tvn {

class Application {
public:
    // Beyond this a web process sheds caches; its page needs a fraction of it.
    static constexpr unsigned kWebProcessMemoryLimitMiB = 192;

    // Starts logging for `role` (the banner included).
    explicit Application(std::string role);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The window the page fills; its size changes go to the page as "onSize".
    void setMainWindow(MainWindow* window);

    // WebKit's context, the app scheme and the start page; `arguments` is the browser's argv.
    void OnContextInitialized(const std::vector<std::string>& arguments);
    void CreateBrowser(const std::string& url);

    // Closes every client and ends the main loop; only the first call does anything.
    void CloseAll();

    const std::vector<std::unique_ptr<Client>>& clients() const { return m_clients; }

private:
    static void onInitializeWebExtensions(WebKitWebContext*, gpointer self);
    // The tray icon, made by the first tray request; removed with the application.
    TrayIcon& trayIcon();

    std::string m_role;
    MainWindow* m_mainWindow = nullptr;
    GRef<WebKitWebContext> m_context;
    platform::WindowChannelServer m_windowChannel;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<std::string> m_arguments;
    std::string m_startOrigin;
    bool m_closed = false;
    std::unique_ptr<TrayIcon> m_trayIcon;
};

// Where the web extension library is, relative to the executable's folder.
inline constexpr const char* kWebExtensionFolder = "webextensions";

} // namespace tvn
