// The tray icon's two hosts: a StatusNotifierItem exported on the session bus, or GTK's embedded
// status icon.

#include "browser/TrayIcon.h"

#include "core/Log.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <unistd.h>

namespace tvn {

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

constexpr const char* kItemXml = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewIcon"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

bool watcherPresent(GDBusConnection* bus)
{
    GError* rawError = nullptr;
    GUnique<GVariant> reply(g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", kWatcherName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &rawError));
    GUnique<GError> error(rawError);
    gboolean present = FALSE;
    if (reply)
        g_variant_get(reply.get(), "(b)", &present);
    return present;
}

} // namespace

class TrayIcon::Host {
public:
    virtual ~Host() = default;
    virtual void setImages(const std::vector<GRef<GdkPixbuf>>&) = 0;
    virtual void setVisible(bool) = 0;
    // Whether a tray shows the icon now, so that a click on it can bring the window back.
    virtual bool hosted() const = 0;
};

// The item on the session bus: properties the host reads, calls it makes with the pointer's place.
class TrayIcon::NotifierItemHost final : public Host {
public:
    NotifierItemHost(TrayIcon& owner, GRef<GDBusConnection> bus)
        : m_owner(owner)
        , m_bus(std::move(bus))
        , m_name("org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1")
    {
        GError* rawError = nullptr;
        m_node.reset(g_dbus_node_info_new_for_xml(kItemXml, &rawError));
        GUnique<GError> error(rawError);
        static const GDBusInterfaceVTable table = { onCall, onGetProperty, nullptr, { nullptr } };
        m_object = g_dbus_connection_register_object(m_bus.get(), kItemPath, m_node->interfaces[0], &table, this, nullptr, nullptr);
        m_ownerId = g_bus_own_name_on_connection(m_bus.get(), m_name.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr, nullptr);
        g_dbus_connection_call(m_bus.get(), kWatcherName, "/StatusNotifierWatcher", kWatcherName, "RegisterStatusNotifierItem",
            g_variant_new("(s)", m_name.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        LOG_INFO << "tray icon: status notifier item " << m_name;
    }
    ~NotifierItemHost() override
    {
        g_bus_unown_name(m_ownerId);
        g_dbus_connection_unregister_object(m_bus.get(), m_object);
        g_dbus_connection_flush_sync(m_bus.get(), nullptr, nullptr);
    }

    void setImages(const std::vector<GRef<GdkPixbuf>>& images) override
    {
        m_images = images;
        emit("NewIcon", nullptr);
    }
    void setVisible(bool visible) override
    {
        m_visible = visible;
        emit("NewStatus", g_variant_new("(s)", status()));
    }
    bool hosted() const override { return watcherPresent(m_bus.get()); } // a watcher that went takes its hosts along

private:
    struct NodeInfoFree {
        void operator()(GDBusNodeInfo* node) const { g_dbus_node_info_unref(node); }
    };

    const char* status() const { return m_visible ? "Active" : "Passive"; }

    void emit(const char* signal, GVariant* parameters)
    {
        g_dbus_connection_emit_signal(m_bus.get(), nullptr, kItemPath, kItemInterface, signal, parameters, nullptr);
    }

    static void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant* parameters,
        GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<NotifierItemHost*>(data);
        const std::string name(method);
        if (name == "Activate" || name == "SecondaryActivate" || name == "ContextMenu") {
            int x = 0, y = 0;
            g_variant_get(parameters, "(ii)", &x, &y);
            const TrayAction action = name == "Activate" ? TrayAction::Activate : name == "ContextMenu" ? TrayAction::ContextMenu : TrayAction::SecondaryActivate;
            self->m_owner.notify(action, 1, x, y);
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    static GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* property, GError**, gpointer data)
    {
        auto* self = static_cast<NotifierItemHost*>(data);
        const std::string name(property);
        if (name == "Category")
            return g_variant_new_string("ApplicationStatus");
        if (name == "Id" || name == "Title")
            return g_variant_new_string("tvn");
        if (name == "Status")
            return g_variant_new_string(self->status());
        if (name == "IconName")
            return g_variant_new_string("");
        if (name == "ItemIsMenu")
            return g_variant_new_boolean(FALSE);
        if (name == "IconPixmap") {
            GVariantBuilder pixmaps;
            g_variant_builder_init(&pixmaps, G_VARIANT_TYPE("a(iiay)"));
            for (const GRef<GdkPixbuf>& image : self->m_images) {
                const std::vector<uint8_t> bytes = notifierPixmap(image.get());
                g_variant_builder_add(&pixmaps, "(ii@ay)", gdk_pixbuf_get_width(image.get()), gdk_pixbuf_get_height(image.get()),
                    g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1));
            }
            return g_variant_builder_end(&pixmaps);
        }
        return nullptr;
    }

    TrayIcon& m_owner;
    GRef<GDBusConnection> m_bus;
    std::string m_name;
    std::unique_ptr<GDBusNodeInfo, NodeInfoFree> m_node;
    guint m_object = 0;
    guint m_ownerId = 0;
    std::vector<GRef<GdkPixbuf>> m_images;
    bool m_visible = false;
};

// GTK's embedded status icon (deprecated in GTK 3, and still the one embedded icon it has).
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
class TrayIcon::EmbeddedHost final : public Host {
public:
    explicit EmbeddedHost(TrayIcon& owner)
        : m_owner(owner)
        , m_icon(GRef<GtkStatusIcon>::adopt(gtk_status_icon_new()))
    {
        gtk_status_icon_set_title(m_icon.get(), "tvn");
        gtk_status_icon_set_has_tooltip(m_icon.get(), TRUE); // hovering asks for a tip: the pointer moved over it
        g_signal_connect(m_icon.get(), "button-press-event", G_CALLBACK(onButton), this);
        g_signal_connect(m_icon.get(), "button-release-event", G_CALLBACK(onButton), this);
        g_signal_connect(m_icon.get(), "query-tooltip", G_CALLBACK(onHover), this);
        LOG_INFO << "tray icon: embedded status icon";
    }
    ~EmbeddedHost() override { gtk_status_icon_set_visible(m_icon.get(), FALSE); }

    void setImages(const std::vector<GRef<GdkPixbuf>>& images) override
    {
        if (images.empty())
            gtk_status_icon_set_from_pixbuf(m_icon.get(), nullptr);
        else
            gtk_status_icon_set_from_pixbuf(m_icon.get(), images.back().get());
    }
    void setVisible(bool visible) override { gtk_status_icon_set_visible(m_icon.get(), visible); }
    bool hosted() const override { return gtk_status_icon_is_embedded(m_icon.get()); }

private:
    static gboolean onButton(GtkStatusIcon*, GdkEventButton* event, gpointer data)
    {
        auto* self = static_cast<EmbeddedHost*>(data);
        const TrayAction action = event->type == GDK_BUTTON_RELEASE ? TrayAction::Release
            : event->type == GDK_2BUTTON_PRESS                      ? TrayAction::DoublePress
                                                                    : TrayAction::Press;
        if (event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE)
            self->m_owner.notify(action, static_cast<int>(event->button), static_cast<int>(event->x_root), static_cast<int>(event->y_root));
        return TRUE;
    }
    static gboolean onHover(GtkStatusIcon*, gint, gint, gboolean, GtkTooltip*, gpointer data)
    {
        auto* self = static_cast<EmbeddedHost*>(data);
        int x = 0, y = 0;
        GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
        gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
        self->m_owner.notify(TrayAction::Hover, 0, x, y);
        return FALSE;
    }

    TrayIcon& m_owner;
    GRef<GtkStatusIcon> m_icon;
};
G_GNUC_END_IGNORE_DEPRECATIONS

std::vector<uint8_t> notifierPixmap(GdkPixbuf* image)
{
    GRef<GdkPixbuf> rgba = GRef<GdkPixbuf>::adopt(gdk_pixbuf_add_alpha(image, FALSE, 0, 0, 0));
    const int width = gdk_pixbuf_get_width(rgba.get()), height = gdk_pixbuf_get_height(rgba.get());
    const int stride = gdk_pixbuf_get_rowstride(rgba.get());
    const guint8* pixels = gdk_pixbuf_read_pixels(rgba.get());
    std::vector<uint8_t> argb;
    argb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guint8* pixel = pixels + y * stride + x * 4; // R, G, B, A
            argb.insert(argb.end(), { pixel[3], pixel[0], pixel[1], pixel[2] });
        }
    }
    return argb;
}

GRef<GdkPixbuf> loadImage(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return {};
    GRef<GdkPixbufLoader> loader = GRef<GdkPixbufLoader>::adopt(gdk_pixbuf_loader_new());
    const bool written = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    GdkPixbuf* image = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    return image ? GRef<GdkPixbuf>::retain(image) : GRef<GdkPixbuf>();
}

TrayIcon::TrayIcon(std::vector<GRef<GdkPixbuf>> applicationIcons, Listener listener)
    : m_applicationIcons(std::move(applicationIcons))
    , m_listener(std::move(listener))
{
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::hosted() const
{
    return m_host && m_visible && m_host->hosted();
}

std::optional<std::vector<GRef<GdkPixbuf>>> TrayIcon::load(const TrayImage& image) const
{
    if (image.applicationIcon)
        return m_applicationIcons;
    if (GRef<GdkPixbuf> loaded = loadImage(image.bytes))
        return std::vector<GRef<GdkPixbuf>> { std::move(loaded) };
    return std::nullopt;
}

void TrayIcon::add(const TrayImage& image, int page)
{
    if (!m_host) {
        GError* rawError = nullptr;
        GRef<GDBusConnection> bus = GRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
        GUnique<GError> error(rawError);
        if (bus && watcherPresent(bus.get()))
            m_host = std::make_unique<NotifierItemHost>(*this, std::move(bus));
        else
            m_host = std::make_unique<EmbeddedHost>(*this);
    }
    m_images = load(image).value_or(std::vector<GRef<GdkPixbuf>>()); // an image that does not load: an icon without one
    m_page = page;
    m_visible = true; // an add after a hide shows the icon again
    m_host->setImages(m_images);
    m_host->setVisible(true);
}

void TrayIcon::show()
{
    if (m_host)
        m_host->setVisible(m_visible);
}

void TrayIcon::modify(const TrayImage& image)
{
    if (!m_host)
        return;
    if (std::optional<std::vector<GRef<GdkPixbuf>>> images = load(image)) { // one that does not load keeps the current
        m_images = std::move(*images);
        m_host->setImages(m_images);
    }
}

void TrayIcon::hide()
{
    m_visible = false;
    if (m_host)
        m_host->setVisible(false);
}

void TrayIcon::notify(TrayAction action, int button, int x, int y)
{
    if (!m_listener)
        return;
    for (const int notification : trayNotifications(action, button))
        m_listener(m_page, notification, x, y);
}

} // namespace tvn
