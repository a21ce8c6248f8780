// A file manager for the end-to-end tests: owns org.freedesktop.FileManager1 on the session bus and
// records the items each ShowItems call asks to show, one URI a line, in the file it is given.
// Usage: tvn_test_file_manager <record file>. Runs until it is killed.
#include <cstdio>
#include <gio/gio.h>

namespace {

const char* kInterface = R"(<node>
  <interface name="org.freedesktop.FileManager1">
    <method name="ShowItems"><arg type="as" name="uris" direction="in"/><arg type="s" name="startup_id" direction="in"/></method>
    <method name="ShowFolders"><arg type="as" name="uris" direction="in"/><arg type="s" name="startup_id" direction="in"/></method>
  </interface>
</node>)";

const char* g_record = nullptr;

void onCall(GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant* parameters,
    GDBusMethodInvocation* invocation, gpointer)
{
    if (FILE* record = std::fopen(g_record, "a")) {
        GVariantIter* uris = nullptr;
        const char* uri = nullptr;
        g_variant_get(parameters, "(ass)", &uris, nullptr);
        while (g_variant_iter_next(uris, "&s", &uri))
            std::fprintf(record, "%s %s\n", method, uri);
        g_variant_iter_free(uris);
        std::fclose(record);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
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
        std::fprintf(stderr, "test file manager: %s\n", error ? error->message : "no bus");
        return 1;
    }
    const GDBusInterfaceVTable table = { onCall, nullptr, nullptr, { nullptr } };
    g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1", node->interfaces[0], &table, nullptr, nullptr, &error);
    // The name last, so that whoever sees it owned finds the object there.
    g_bus_own_name_on_connection(bus, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer) {
            if (FILE* record = std::fopen(g_record, "a")) {
                std::fputs("ready\n", record);
                std::fclose(record);
            }
        },
        nullptr, nullptr, nullptr);
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
    return 0;
}
