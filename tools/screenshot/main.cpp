// tvn-screenshot: saves what an X window (or the whole screen) shows as a PNG, for the demo run and
// the end-to-end tests, which run on a virtual display without a desktop to take pictures with.
//
//     tvn-screenshot OUT.png [WINDOW-ID]

#include <cstdio>
#include <cstdlib>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fputs("usage: tvn-screenshot OUT.png [WINDOW-ID]\n", stderr);
        return 2;
    }
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("tvn-screenshot: no display\n", stderr);
        return 1;
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkWindow* window = argc == 3 ? gdk_x11_window_foreign_new_for_display(display, std::strtoul(argv[2], nullptr, 0))
                                  : gdk_get_default_root_window();
    if (!window) {
        std::fprintf(stderr, "tvn-screenshot: no window %s\n", argv[2]);
        return 1;
    }
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
    if (argc == 3)
        g_object_unref(window);
    if (!picture) {
        std::fputs("tvn-screenshot: the window shows nothing (unmapped?)\n", stderr);
        return 1;
    }
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(picture, argv[1], "png", &error, nullptr);
    g_object_unref(picture);
    if (!saved) {
        std::fprintf(stderr, "tvn-screenshot: %s\n", error->message);
        g_error_free(error);
        return 1;
    }
    return 0;
}
