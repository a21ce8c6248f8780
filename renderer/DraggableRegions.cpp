// Watching and reporting the draggable regions.

#include "renderer/DraggableRegions.h"

#include "window/WindowRules.h"
#include "ipc/JsonMessage.h"
#include "modules/ScriptValue.h"

namespace tvn {

namespace {

// Runs in the watching world with `report(text)` defined: text is the JSON of the region list.
constexpr const char* kWatchScript = R"JS((function () {
    var last = '[]', scheduled = false;
    function regionOf(style) {
        var value = style.getPropertyValue('--app-region').trim();
        return value === 'drag' || value === 'no-drag' ? value : '';
    }
    function collect() {
        scheduled = false;
        var regions = [], values = new Map();
        var all = document.getElementsByTagName('*');
        for (var i = 0; i < all.length; ++i) {
            var element = all[i];
            var value = regionOf(getComputedStyle(element));
            values.set(element, value);
            if (!value)
                continue;
            var parent = element.parentElement;
            if (parent && values.get(parent) === value)
                continue;
            var rect = element.getBoundingClientRect();
            if (rect.width <= 0 || rect.height <= 0)
                continue;
            regions.push([Math.round(rect.left), Math.round(rect.top), Math.round(rect.width), Math.round(rect.height), value === 'drag' ? 1 : 0]);
        }
        var text = JSON.stringify(regions);
        if (text !== last) {
            last = text;
            report(text);
        }
    }
    function schedule() {
        if (!scheduled) {
            scheduled = true;
            requestAnimationFrame(collect);
        }
    }
    new MutationObserver(schedule).observe(document, { subtree: true, childList: true, attributes: true });
    addEventListener('resize', schedule);
    addEventListener('scroll', schedule, true);
    addEventListener('load', schedule);
    document.addEventListener('DOMContentLoaded', schedule);
    document.addEventListener('transitionend', schedule, true);
    document.addEventListener('animationend', schedule, true);
    schedule();
})();)JS";

void report(const char* text, gpointer page)
{
    const nlohmann::json regions = nlohmann::json::parse(text ? text : "", nullptr, false);
    webkit_web_page_send_message_to_view(WEBKIT_WEB_PAGE(page), webkit_user_message_new(kDraggableRegionsMessage, jsonParameters(regions)),
        nullptr, nullptr, nullptr);
}

void onWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer)
{
    if (!webkit_frame_is_main_frame(frame))
        return;
    GRef<JSCContext> context = GRef<JSCContext>::adopt(webkit_frame_get_js_context_for_script_world(frame, world));
    // The page outlives its frames' script contexts, so the function may hold it unowned.
    const ScriptValue function = ScriptValue::adopt(jsc_value_new_function(context.get(), "report", G_CALLBACK(report), page,
        nullptr, G_TYPE_NONE, 1, G_TYPE_STRING));
    const ScriptValue global = ScriptValue::adopt(jsc_context_get_global_object(context.get()));
    jsc_value_object_set_property(global.get(), "report", function.get());
    const ScriptValue ignored = ScriptValue::adopt(jsc_context_evaluate(context.get(), kWatchScript, -1));
    jsc_context_clear_exception(context.get());
}

} // namespace

void watchDraggableRegions()
{
    // Kept for the process's life: the world must exist for its window objects to be made.
    WebKitScriptWorld* world = webkit_script_world_new_with_name("tvn-draggable-regions");
    g_signal_connect(world, "window-object-cleared", G_CALLBACK(onWindowObjectCleared), nullptr);
}

} // namespace tvn
