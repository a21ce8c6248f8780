// The browser process's application object on WebKitGTK.

#include "browser/Application.h"

#include "browser/AppSchemeHandler.h"
#include "browser/ApplicationIcon.h"
#include "browser/ContextMenu.h"
#include "browser/NavigationPolicy.h"
#include "browser/WebDownloads.h"
#include "browser/ScriptDialogs.h"
#include "core/CommandLine.h"
#include "core/Log.h"
#include "core/Logging.h"
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "ipc/InitData.h"
#include "window/StartPage.h"
#include "platform/Environment.h"

namespace tvn {

template<>
struct GFree<WebKitMemoryPressureSettings> {
    void operator()(WebKitMemoryPressureSettings* settings) const noexcept { webkit_memory_pressure_settings_free(settings); }
};

Application::Application(std::string role)
    : m_role(std::move(role))
{
    log::startLogging(m_role);
}

Application::~Application()
{
    m_clients.clear();
}

void Application::setMainWindow(MainWindow* window)
{
    m_mainWindow = window;
    if (!window)
        return;
    window->setSizeListener([this](int sizeType, int width, int height) {
        if (!m_clients.empty())
            m_clients.front()->sendToPage("onSize", { sizeType, { { "w", width }, { "h", height } } });
    });
}

TrayIcon& Application::trayIcon()
{
    if (!m_trayIcon) {
        // Its events go to the page whose module added it last.
        m_trayIcon = std::make_unique<TrayIcon>(applicationIcons(modulePath().parent_path()), [this](int page, int notification, int x, int y) {
            for (const auto& client : m_clients) {
                if (static_cast<int>(webkit_web_view_get_page_id(client->view())) == page)
                    client->sendToPage("tray", { notification, x, y });
            }
        });
    }
    return *m_trayIcon;
}

void Application::onInitializeWebExtensions(WebKitWebContext* context, gpointer data)
{
    auto* self = static_cast<Application*>(data);
    LOG_INFO << "renderer process created";
    InitData init;
    init.mainWindowId = self->m_mainWindow ? self->m_mainWindow->windowId() : 0;
    init.browserArguments = self->m_arguments;
    init.executablePath = modulePath().string();
    init.windowChannel = self->m_windowChannel.address();
    init.startOrigin = self->m_startOrigin;
    const std::filesystem::path extensions = modulePath().parent_path() / kWebExtensionFolder;
    webkit_web_context_set_web_extensions_directory(context, extensions.c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(context, toVariant(init));
}

void Application::OnContextInitialized(const std::vector<std::string>& arguments)
{
    m_arguments = arguments;
    // Web processes act on the main window through the channel; the UI thread answers them.
    const bool listening = m_windowChannel.listen([this](std::string_view request, platform::WindowChannelServer::Reply reply) {
        const nlohmann::json parsed = nlohmann::json::parse(request, nullptr, false);
        if (const std::optional<nlohmann::json> answer = parsed.is_object() ? answerTrayRequest(trayIcon(), parsed) : std::nullopt)
            reply(answer->dump());
        else if (m_mainWindow)
            answerWindowRequest(*m_mainWindow, request, std::move(reply));
        else
            reply(R"({"ok":false})");
    });
    if (!listening) {
        LOG_ERROR << "window channel not listening";
    }
    // WebKit's cache (and the little data the page leaves) under the user's cache folder: nothing
    // there needs keeping, and backups and synced configuration folders should not carry it. The
    // folder older versions used in the configuration folder goes. No proxy for anything.
    const std::filesystem::path oldCache = std::filesystem::path(expandEnvironment("%appdata%")) / "Lanthorn" / "cache";
    const std::filesystem::path cacheHome = platform::userCacheFolder();
    const std::filesystem::path cache = cacheHome.empty() ? oldCache : cacheHome / "tvn" / "webkit";
    if (std::error_code error; cache != oldCache && std::filesystem::remove_all(oldCache, error) > 0) {
        LOG_INFO << "old web cache removed: " << oldCache.string();
        std::filesystem::remove(oldCache.parent_path(), error); // only when nothing else is in it
    }
    GRef<WebKitWebsiteDataManager> manager = GRef<WebKitWebsiteDataManager>::adopt(webkit_website_data_manager_new(
        "base-cache-directory", cache.c_str(), "base-data-directory", (cache / "data").c_str(), nullptr));
    webkit_website_data_manager_set_network_proxy_settings(manager.get(), WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
    // One page in one window: no memory cache or back-forward cache worth keeping, and web processes
    // that give memory back early instead of growing toward a browser's budget.
    const GUnique<WebKitMemoryPressureSettings> pressure(webkit_memory_pressure_settings_new());
    webkit_memory_pressure_settings_set_memory_limit(pressure.get(), kWebProcessMemoryLimitMiB);
    m_context = GRef<WebKitWebContext>::adopt(WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT,
        "website-data-manager", manager.get(), "memory-pressure-settings", pressure.get(), nullptr)));
    webkit_web_context_set_cache_model(m_context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    g_signal_connect(m_context.get(), "initialize-web-extensions", G_CALLBACK(onInitializeWebExtensions), this);
    refuseWebDownloads(m_context.get());

    const std::filesystem::path appFolder = modulePath().parent_path();
    const StartPage page = chooseStartPage(appFolder, bdVid());
    LOG_INFO << "register scheme";
    registerAppScheme(m_context.get(), appFolder, page.distFolder);
    for (const std::string& line : page.logLines)
        LOG_INFO << line;
    m_startOrigin = page.origin;
    CreateBrowser(page.url);
}

void Application::CreateBrowser(const std::string& url)
{
    GRef<WebKitSettings> settings = GRef<WebKitSettings>::adopt(webkit_settings_new());
    // Same-origin rules hold, and a file:// page reads no other file: WebKit cannot scope file
    // access to a folder, and the page's own files come through the app scheme.
    webkit_settings_set_disable_web_security(settings.get(), FALSE);
    webkit_settings_set_allow_file_access_from_file_urls(settings.get(), FALSE);
    webkit_settings_set_allow_universal_access_from_file_urls(settings.get(), FALSE);
    // A page of tables and buttons needs no GPU compositing; without it the web process loads no
    // OpenGL driver (on machines without a GPU, a whole software renderer) for nothing.
    webkit_settings_set_hardware_acceleration_policy(settings.get(), WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    // An unattended run reports through the page's console.
    webkit_settings_set_enable_write_console_messages_to_stdout(settings.get(), parseCommandLine(m_arguments).autorun);
    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context.get(), "settings", settings.get(), nullptr));
    GRef<WebKitWebView> held = GRef<WebKitWebView>::retain(view);
    guardNavigation(view, m_startOrigin);
    setUpContextMenu(view, developerMenuEnabled(modulePath().parent_path()));
    setUpScriptDialogs(view);

    // A page that closes itself (window.close()) closes the window, and with it the application.
    m_clients.push_back(std::make_unique<Client>(held, [this] {
        if (m_mainWindow)
            m_mainWindow->close();
    }));
    if (m_mainWindow && m_clients.size() == 1) {
        gtk_container_add(GTK_CONTAINER(m_mainWindow->window()), GTK_WIDGET(view));
        m_mainWindow->setClient(m_clients.front().get());
    }
    webkit_web_view_load_uri(view, url.c_str());
}

void Application::CloseAll()
{
    if (m_closed)
        return;
    m_closed = true;
    LOG_INFO << "application close all clients";
    if (m_mainWindow)
        m_mainWindow->setClient(nullptr);
    m_mainWindow = nullptr; // it is being destroyed
    for (const auto& client : m_clients)
        client->Close();
    m_clients.clear();
    gtk_main_quit();
}

} // namespace tvn
