// tvn-minimal-browser URL: the least a WebKitGTK program does to show a page (a window, a web
// view, the URL) and end when the page closes itself. The floor tvn's start-up is measured against.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

static void onClose(WebKitWebView*, gpointer window)
{
    gtk_widget_destroy(GTK_WIDGET(window));
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1168, 832);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "close", G_CALLBACK(onClose), window);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
