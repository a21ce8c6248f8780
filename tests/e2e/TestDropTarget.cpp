// A folder window's stand-in for the end-to-end tests: a window at the bottom-left of the screen
// that takes file drops (text/uri-list, copy) and appends each URI it receives, one a line, to the
// file named on the command line. Runs until killed.
#include <cstdio>
#include <gtk/gtk.h>

namespace {

const char* g_record = nullptr;

void onDragDataReceived(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* selection, guint, guint time, gpointer)
{
    gchar** uris = gtk_selection_data_get_uris(selection);
    if (FILE* record = std::fopen(g_record, "a")) {
        for (gchar** uri = uris; uri && *uri; ++uri)
            std::fprintf(record, "%s\n", *uri);
        std::fclose(record);
    }
    gtk_drag_finish(context, uris != nullptr, FALSE, time);
    g_strfreev(uris);
}

} // namespace

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    if (argc != 2)
        return 2;
    g_record = argv[1];
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "tvn test drop target");
    gtk_window_set_default_size(GTK_WINDOW(window), 300, 200);
    gtk_window_move(GTK_WINDOW(window), 0, 800);
    GtkWidget* area = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(window), area);
    gtk_drag_dest_set(area, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
    gtk_drag_dest_add_uri_targets(area);
    g_signal_connect(area, "drag-data-received", G_CALLBACK(onDragDataReceived), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
