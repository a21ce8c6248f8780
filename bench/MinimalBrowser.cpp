// tvn-minimal-browser [--tvn-settings] URL: the least a WebKitGTK program does to show a page (a
// window, a web view, the URL) and end when the page closes itself. The floor tvn's start-up and
// memory are measured against. With --tvn-settings it runs WebKit as tvn does (the drawing
// variables, the document-viewer cache model, web processes that shed memory above 192 MiB, no
// GPU compositing), so that a comparison shows tvn's own cost apart from those settings.

#include "browser/Application.h"
#include "platform/ProcessEnvironment.h"

#include <cstring>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

static void onClose(WebKitWebView*, gpointer window)
{
    gtk_widget_destroy(GTK_WIDGET(window));
}

static GtkWidget* webViewAsTvn()
{
    WebKitMemoryPressureSettings* pressure = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(pressure, tvn::Application::kWebProcessMemoryLimitMiB);
    WebKitWebContext* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", pressure, nullptr));
    webkit_memory_pressure_settings_free(pressure);
    webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
    g_object_unref(settings);
    g_object_unref(context); // the view holds it
    return view;
}

int main(int argc, char** argv)
{
    const bool asTvn = argc == 3 && !std::strcmp(argv[1], "--tvn-settings");
    if (argc != 2 && !asTvn)
        return 2;
    if (asTvn)
        tvn::platform::setDrawingEnvironment(); // before GTK starts
    gtk_init(nullptr, nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 1168, 832);
    GtkWidget* view = asTvn ? webViewAsTvn() : webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "close", G_CALLBACK(onClose), window);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[argc - 1]);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
