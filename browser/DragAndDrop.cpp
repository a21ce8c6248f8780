// Drag and drop on GTK.

#include "browser/DragAndDrop.h"

#include "browser/UriList.h"

#include "platform/GRef.h"

#include <filesystem>
#include <memory>

namespace tvn {

namespace {

GdkAtom uriListAtom()
{
    return gdk_atom_intern_static_string("text/uri-list");
}

// One view's watch. The engine asks for the drag's data itself when a drag enters; the watch reads
// the file list from that delivery and never asks on its own, so the engine sees no stray data.
struct DragWatch {
    std::function<void(const std::vector<std::string>&)> entered;
    GdkDragContext* current = nullptr; // the drag inside the view, already reported or waiting for its list
    bool reported = false;
};

bool carriesFileList(GdkDragContext* context)
{
    for (GList* target = gdk_drag_context_list_targets(context); target; target = target->next)
        if (GDK_POINTER_TO_ATOM(target->data) == uriListAtom())
            return true;
    return false;
}

gboolean onDragMotion(GtkWidget*, GdkDragContext* context, int, int, guint, gpointer data)
{
    auto* watch = static_cast<DragWatch*>(data);
    if (watch->current != context) {
        watch->current = context;
        watch->reported = false;
        if (!carriesFileList(context)) {
            watch->reported = true;
            watch->entered({});
        }
    }
    return FALSE; // the engine's own handling goes on
}

void onDragDataReceived(GtkWidget*, GdkDragContext* context, int, int, GtkSelectionData* selection, guint, guint, gpointer data)
{
    auto* watch = static_cast<DragWatch*>(data);
    if (context != watch->current || watch->reported)
        return;
    if (gtk_selection_data_get_target(selection) != uriListAtom())
        return;
    watch->reported = true;
    const guchar* bytes = gtk_selection_data_get_data(selection);
    const int length = gtk_selection_data_get_length(selection);
    watch->entered(bytes && length > 0 ? filesFromUriList(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)))
                                       : std::vector<std::string>());
}

void onDragLeave(GtkWidget*, GdkDragContext*, guint, gpointer data)
{
    static_cast<DragWatch*>(data)->current = nullptr; // entering again is a new drag enter
}

// One drag out of the page.
struct FileDrag {
    std::vector<std::string> uris;
    std::function<void()> ended;
    std::vector<gulong> handlers;
};

FileDrag* activeDrag = nullptr; // one drag at a time (UI thread)

void onDragDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* selection, guint, guint, gpointer data)
{
    const auto* drag = static_cast<FileDrag*>(data);
    std::vector<char*> uris;
    for (const std::string& uri : drag->uris)
        uris.push_back(const_cast<char*>(uri.c_str()));
    uris.push_back(nullptr);
    gtk_selection_data_set_uris(selection, uris.data());
}

void onDragEnd(GtkWidget* source, GdkDragContext*, gpointer data)
{
    std::unique_ptr<FileDrag> drag(static_cast<FileDrag*>(data));
    for (const gulong handler : drag->handlers)
        g_signal_handler_disconnect(source, handler);
    activeDrag = nullptr;
    if (drag->ended)
        drag->ended();
}

} // namespace

void watchFileDrags(WebKitWebView* view, std::function<void(const std::vector<std::string>&)> entered)
{
    auto watch = std::make_unique<DragWatch>();
    watch->entered = std::move(entered);
    DragWatch* raw = watch.get();
    // The watch lives as long as the view: it goes with the view's handlers.
    g_signal_connect_data(view, "drag-motion", G_CALLBACK(onDragMotion), watch.release(),
        [](gpointer data, GClosure*) { std::unique_ptr<DragWatch>(static_cast<DragWatch*>(data)); }, GConnectFlags(0));
    g_signal_connect(view, "drag-data-received", G_CALLBACK(onDragDataReceived), raw);
    g_signal_connect(view, "drag-leave", G_CALLBACK(onDragLeave), raw);
}

FileDragStart startFileDrag(GtkWidget* source, const std::vector<std::string>& paths, std::function<void()> ended)
{
    auto drag = std::make_unique<FileDrag>();
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            continue;
        if (GUnique<char> uri { g_filename_to_uri(std::filesystem::absolute(path, error).c_str(), nullptr, nullptr) })
            drag->uris.emplace_back(uri.get());
    }
    if (drag->uris.empty())
        return FileDragStart::NoFiles;
    if (activeDrag || !source || !gtk_widget_get_realized(source))
        return FileDragStart::NotStarted;
    drag->ended = std::move(ended);
    FileDrag* raw = drag.get();
    raw->handlers = {
        g_signal_connect(source, "drag-data-get", G_CALLBACK(onDragDataGet), raw),
        g_signal_connect(source, "drag-end", G_CALLBACK(onDragEnd), raw),
    };
    GtkTargetList* targets = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add_uri_targets(targets, 0);
    GdkEvent* event = gtk_get_current_event();
    GdkDragContext* context = gtk_drag_begin_with_coordinates(source, targets, GDK_ACTION_COPY, GDK_BUTTON_PRIMARY, event, -1, -1);
    if (event)
        gdk_event_free(event);
    gtk_target_list_unref(targets);
    if (!context) {
        for (const gulong handler : raw->handlers)
            g_signal_handler_disconnect(source, handler);
        return FileDragStart::NotStarted;
    }
    activeDrag = drag.release(); // owned by the drag until it ends (onDragEnd)
    return FileDragStart::Started;
}

} // namespace tvn
