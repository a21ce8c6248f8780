// A file manager's stand-in for the end-to-end tests: a window at the top-left of the work area
// from which the files named on the command line can be dragged (as text/uri-list, copy).
// Runs until killed.
#include <gtk/gtk.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> uris;

void onDragDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* selection, guint, guint, gpointer)
{
    std::vector<char*> list;
    for (std::string& uri : uris)
        list.push_back(uri.data());
    list.push_back(nullptr);
    gtk_selection_data_set_uris(selection, list.data());
}

} // namespace

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    for (int i = 1; i < argc; ++i) {
        gchar* uri = g_filename_to_uri(argv[i], nullptr, nullptr);
        uris.emplace_back(uri);
        g_free(uri);
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "tvn test drag source");
    gtk_window_set_default_size(GTK_WINDOW(window), 200, 100);
    gtk_window_move(GTK_WINDOW(window), 0, 40);
    GtkWidget* area = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(window), area);
    GtkTargetList* targets = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_uri_targets(targets, 0);
    gtk_drag_source_set(area, GDK_BUTTON1_MASK, nullptr, 0, GDK_ACTION_COPY);
    gtk_drag_source_set_target_list(area, targets);
    gtk_target_list_unref(targets);
    g_signal_connect(area, "drag-data-get", G_CALLBACK(onDragDataGet), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
