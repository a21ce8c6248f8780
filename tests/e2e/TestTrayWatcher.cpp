// A status notifier watcher for the end-to-end tests: owns org.kde.StatusNotifierWatcher on the
// session bus and records each item registered with it ("registered <service>"), after "ready"
// once the name is its own. Usage: tvn_test_tray_watcher <record file>. Runs until killed.
#include <cstdio>
#include <gio/gio.h>

namespace {

const char* kInterface = R"xml(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" name="service" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" name="service" direction="in"/></method>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>)xml";

const char* g_record = nullptr;

void record(const char* line)
{
    if (FILE* file = std::fopen(g_record, "a")) {
        std::fprintf(file, "%s\n", line);
        std::fclose(file);
    }
}

void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer)
{
    if (g_str_equal(method, "RegisterStatusNotifierItem")) {
        const char* service = nullptr;
        g_variant_get(parameters, "(&s)", &service);
        gchar* line = g_strdup_printf("registered %s", service);
        record(line);
        g_free(line);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* onGetProperty(GDBusConnection*, const char*, const char*, const char*, const char* property, GError**, gpointer)
{
    if (g_str_equal(property, "IsStatusNotifierHostRegistered"))
        return g_variant_new_boolean(TRUE);
    return g_variant_new_int32(0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    g_record = argv[1];
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusNodeInfo* node = bus ? g_dbus_node_info_new_for_xml(kInterface, &error) : nullptr;
    if (!node) {
        std::fprintf(stderr, "test tray watcher: %s\n", error ? error->message : "no bus");
        return 1;
    }
    const GDBusInterfaceVTable table = { onCall, onGetProperty, nullptr, { nullptr } };
    g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", node->interfaces[0], &table, nullptr, nullptr, &error);
    g_bus_own_name_on_connection(bus, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer) { record("ready"); }, nullptr, nullptr, nullptr);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    return 0;
}
