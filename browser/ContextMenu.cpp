// Trimming the context menu and the developer items.

#include "browser/ContextMenu.h"

#include "core/Log.h"
#include "platform/GRef.h"

#include <system_error>

namespace tvn {

bool developerMenuEnabled(const std::filesystem::path& executableFolder, const std::filesystem::path& rootMarker)
{
    std::error_code error;
    return std::filesystem::exists(executableFolder / "dev.$$$", error) || std::filesystem::exists(rootMarker, error);
}

std::string gtkMnemonic(std::string_view label)
{
    std::string text;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] == '&') {
            text += '&';
            ++i;
        } else if (label[i] == '&') {
            text += '_';
        } else if (label[i] == '_') {
            text += "__";
        } else {
            text += label[i];
        }
    }
    return text;
}

namespace {

// What the engine would offer for going elsewhere or printing; the page's own menu has none of it.
bool removedAction(WebKitContextMenuAction action)
{
    switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
    case WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT:
        return true;
    default:
        return false;
    }
}

bool isSeparator(WebKitContextMenuItem* item)
{
    return webkit_context_menu_item_is_separator(item);
}

// Separators left at the start, at the end or next to each other by the removals go too.
void tidySeparators(WebKitContextMenu* menu)
{
    bool previousSeparator = true;
    for (guint i = 0; i < webkit_context_menu_get_n_items(menu);) {
        WebKitContextMenuItem* item = webkit_context_menu_get_item_at_position(menu, i);
        const bool separator = isSeparator(item);
        if (separator && previousSeparator) {
            webkit_context_menu_remove(menu, item);
            continue;
        }
        previousSeparator = separator;
        ++i;
    }
    const guint count = webkit_context_menu_get_n_items(menu);
    if (count && isSeparator(webkit_context_menu_get_item_at_position(menu, count - 1)))
        webkit_context_menu_remove(menu, webkit_context_menu_get_item_at_position(menu, count - 1));
}

void onReload(GSimpleAction*, GVariant*, gpointer view)
{
    webkit_web_view_reload_bypass_cache(WEBKIT_WEB_VIEW(view));
}

void onShowDevTools(GSimpleAction*, GVariant*, gpointer view)
{
    LOG_DEBUG << "show devtools";
    webkit_web_inspector_show(webkit_web_view_get_inspector(WEBKIT_WEB_VIEW(view)));
}

void appendItem(WebKitContextMenu* menu, WebKitWebView* view, const char* name, const char* label, GCallback activate)
{
    GRef<GSimpleAction> action = GRef<GSimpleAction>::adopt(g_simple_action_new(name, nullptr));
    g_signal_connect_object(action.get(), "activate", activate, view, GConnectFlags(0));
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action.get()), gtkMnemonic(label).c_str(), nullptr));
}

gboolean onContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer developer)
{
    for (guint i = 0; i < webkit_context_menu_get_n_items(menu);) {
        WebKitContextMenuItem* item = webkit_context_menu_get_item_at_position(menu, i);
        if (removedAction(webkit_context_menu_item_get_stock_action(item))) {
            webkit_context_menu_remove(menu, item);
            continue;
        }
        ++i;
    }
    tidySeparators(menu);
    if (GPOINTER_TO_INT(developer)) {
        appendItem(menu, view, "tvn-reload", "&Reload", G_CALLBACK(onReload));
        appendItem(menu, view, "tvn-show-devtools", "&Show DevTools", G_CALLBACK(onShowDevTools));
    }
    return webkit_context_menu_get_n_items(menu) == 0; // nothing left: no menu at all
}

} // namespace

void setUpContextMenu(WebKitWebView* view, bool developer)
{
    if (developer)
        webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view), TRUE);
    g_signal_connect(view, "context-menu", G_CALLBACK(onContextMenu), GINT_TO_POINTER(developer));
}

} // namespace tvn
