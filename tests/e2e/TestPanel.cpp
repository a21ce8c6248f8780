// A panel for the end-to-end tests' desktop: a dock window along the top of the screen that
// reserves its strip (a strut), so that the work area is smaller than the screen. Runs until killed.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    constexpr int kHeight = 30;
    GtkWidget* panel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_type_hint(GTK_WINDOW(panel), GDK_WINDOW_TYPE_HINT_DOCK);
    gtk_window_set_decorated(GTK_WINDOW(panel), FALSE);
    GdkRectangle screen {};
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
    gtk_window_move(GTK_WINDOW(panel), 0, 0);
    gtk_window_set_default_size(GTK_WINDOW(panel), screen.width, kHeight);
    gtk_widget_realize(panel);
    // left, right, top, bottom, then the partial strut's start and end of each.
    const gulong strut[12] = { 0, 0, kHeight, 0, 0, 0, 0, 0, 0, static_cast<gulong>(screen.width - 1), 0, 0 };
    GdkWindow* window = gtk_widget_get_window(panel);
    gdk_property_change(window, gdk_atom_intern("_NET_WM_STRUT", FALSE), gdk_atom_intern("CARDINAL", FALSE), 32,
        GDK_PROP_MODE_REPLACE, reinterpret_cast<const guchar*>(strut), 4);
    gdk_property_change(window, gdk_atom_intern("_NET_WM_STRUT_PARTIAL", FALSE), gdk_atom_intern("CARDINAL", FALSE), 32,
        GDK_PROP_MODE_REPLACE, reinterpret_cast<const guchar*>(strut), 12);
    gtk_widget_show_all(panel);
    gtk_main();
    return 0;
}
