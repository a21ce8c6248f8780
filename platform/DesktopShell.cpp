// The desktop's file manager and default handlers, through GIO.

#include "platform/DesktopShell.h"

#include "platform/GRef.h"
#include "platform/ProcessEnvironment.h"

#include <gio/gio.h>

namespace tvn::platform {

namespace {

constexpr int kBusCallTimeoutMs = 5000;

std::string fileUri(const std::filesystem::path& path)
{
    GUnique<char> uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    return uri ? uri.get() : "";
}

bool askFileManager(const std::string& itemUri)
{
    GError* rawError = nullptr;
    GRef<GDBusConnection> bus = GRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    GUnique<GError> error(rawError);
    if (!bus)
        return false;
    const char* items[] = { itemUri.c_str(), nullptr };
    // No auto-start: a bus that only could start a file manager has none running now.
    GUnique<GVariant> reply(g_dbus_connection_call_sync(bus.get(), "org.freedesktop.FileManager1",
        "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", items, ""), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallTimeoutMs, nullptr, &rawError));
    error.reset(rawError);
    return static_cast<bool>(reply);
}

} // namespace

bool showInFileManager(const std::filesystem::path& item)
{
    std::error_code failed;
    if (item.empty() || !std::filesystem::exists(item, failed))
        return false;
    const std::filesystem::path absolute = std::filesystem::absolute(item, failed).lexically_normal();
    const std::string itemUri = fileUri(absolute);
    if (itemUri.empty())
        return false;
    if (askFileManager(itemUri))
        return true;
    return openWithDefaultHandler(fileUri(absolute.parent_path()));
}

bool openWithDefaultHandler(const std::string& url)
{
    if (url.empty())
        return false;
    GUnique<char> scheme(g_uri_parse_scheme(url.c_str()));
    if (!scheme)
        return false;
    GError* rawError = nullptr;
    const bool opened = g_app_info_launch_default_for_uri(url.c_str(), programLaunchContext().get(), &rawError);
    GUnique<GError> error(rawError);
    return opened;
}

} // namespace tvn::platform
