// Posting to the default main context.

#include "platform/MainLoop.h"

#include "platform/ThreadHandoff.h"

#include <glib.h>
#include <memory>

namespace tvn::platform {

void postToMainLoop(std::function<void()> task)
{
    using Task = std::function<void()>;
    // Always a source, never a direct call: g_main_context_invoke would run the task on a worker
    // thread that finds the context momentarily unowned. The source owns the task until it has run
    // (or is dropped with the main context); sources of one priority are dispatched in the order
    // they were added.
    auto held = std::make_unique<Task>(std::move(task));
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    handOff(held.get());
    g_source_set_callback(source, [](gpointer data) -> gboolean {
        takeOver(data);
        (*static_cast<Task*>(data))();
        return G_SOURCE_REMOVE;
    }, held.release(), [](gpointer data) { std::unique_ptr<Task>(static_cast<Task*>(data)); });
    g_source_attach(source, g_main_context_default());
    g_source_unref(source);
}

} // namespace tvn::platform
