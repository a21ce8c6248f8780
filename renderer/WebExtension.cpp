// The web extension: the renderer role of tvn, loaded by WebKit into every web process.
//
// At load it runs the start-up every process shares (channel id, installation source, the
// "checkbdvid" event), starts the process's log (renderer.log) and the 10 ms event-bus pump, and
// sets up the call bridge, the link to the main window and the watch on draggable regions. For every frame whose origin is the start page's own, it installs
// `module` into the frame's script context when the window object is (re)created. It answers the
// browser's messages to each page.

#include "core/EventBus.h"
#include "core/Log.h"
#include "core/Logging.h"
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "ipc/InitData.h"
#include "ipc/JsonMessage.h"
#include "window/StartPage.h"
#include "modules/CallBridge.h"
#include "repair/HeartbeatChain.h"
#include "modules/ModuleHandler.h"
#include "modules/PageThreads.h"
#include "platform/MainLoop.h"
#include "modules/WindowRequest.h"
#include "startup/ProcessStart.h"
#include "platform/WindowChannel.h"
#include "renderer/DraggableRegions.h"
#include "renderer/RendererMessages.h"
#include "renderer/WebExtension.h"
#include "repair/SystemTolvane.h"

#include <webkit2/webkit-web-extension.h>

namespace {

using namespace tvn;

// What the extension owns. It ends with the process (exit runs its destructor): the pages' threads
// first, then the heartbeat's, the call bridge's, the repair engine (its work cancelled, its
// threads joined; the others may use it) and the start report, so that nothing still runs while
// exit handlers take the libraries down.
struct Renderer {
    WebKitWebExtension* extension = nullptr;
    InitData init;
    std::unique_ptr<SystemTolvane> engine;
    std::unique_ptr<CallBridge> bridge;
    std::unique_ptr<platform::WindowChannelClient> windowChannel;

    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
    ~Renderer()
    {
        if (!extension)
            return; // never started
        PageThreads::current().stopAll();
        stopHeartbeatChains();
        CallBridge::setCurrent(nullptr);
        bridge.reset();
        engine.reset();
        endProcess();
    }
};

Renderer& renderer()
{
    static Renderer instance;
    return instance;
}

gboolean pumpEventBus(gpointer)
{
    EventBus::Bus::instance().queue().run();
    return G_SOURCE_CONTINUE;
}

void runInMainFrame(WebKitWebPage* page, const std::string& source)
{
    // Deprecated in favour of the newer extension API, which the 4.1 web process does not offer.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    WebKitFrame* frame = webkit_web_page_get_main_frame(page);
    G_GNUC_END_IGNORE_DEPRECATIONS
    GRef<JSCContext> context = GRef<JSCContext>::adopt(webkit_frame_get_js_context(frame));
    ScriptValue ignored = ScriptValue::adopt(jsc_context_evaluate(context.get(), source.c_str(), -1));
    jsc_context_clear_exception(context.get());
}

gboolean onPageMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer)
{
    RendererMessageTargets targets { renderer().bridge.get(), [page](const std::string& source) { runInMainFrame(page, source); } };
    return handleRendererMessage(static_cast<int>(webkit_web_page_get_id(page)), webkit_user_message_get_name(message),
        argumentsOf(webkit_user_message_get_parameters(message)), targets);
}

void onPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer)
{
    g_signal_connect(page, "user-message-received", G_CALLBACK(onPageMessage), nullptr);
}

// Only frames of the start page's origin get `module`: a foreign frame (an advertisement, a
// hijacked link) must not reach the machine.
void onWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame, gpointer)
{
    const int browserId = static_cast<int>(webkit_web_page_get_id(page));
    const int frameId = static_cast<int>(webkit_frame_get_id(frame) & 0xFFFFFFFF);
    // The frame's old document is gone: so are the calls it was waiting for and the threads working
    // for it (stopped and joined here, before the new document's first script).
    if (webkit_frame_is_main_frame(frame)) {
        renderer().bridge->dropPendingOfPage(browserId);
        PageThreads::current().stopPage(browserId);
    } else {
        renderer().bridge->dropPending({ browserId, frameId });
        PageThreads::current().stopFrame(browserId, frameId);
    }
    const char* uri = webkit_frame_get_uri(frame);
    if (!uri || !inStartOrigin(uri, renderer().init.startOrigin))
        return;
    LOG_INFO << "page context created, browserId: " << browserId << ", frameId: " << frameId;
    GRef<JSCContext> context = GRef<JSCContext>::adopt(webkit_frame_get_js_context_for_script_world(frame, world));
    ModuleHandler::install(context.get(), browserId, frameId);
}

bool sendCall(int browserId, const std::string& method, const nlohmann::json& arguments, const std::string& callId)
{
    WebKitWebPage* page = webkit_web_extension_get_page(renderer().extension, static_cast<guint64>(browserId));
    if (!page)
        return false;
    webkit_web_page_send_message_to_view(page, webkit_user_message_new("call", jsonParameters({ method, arguments, callId })), nullptr, nullptr, nullptr);
    return true;
}

} // namespace

WebKitWebExtension* tvn::currentWebExtension()
{
    return renderer().extension;
}

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension, const GVariant* userData)
{
    Renderer& state = renderer();
    state.extension = extension;
    state.init = initDataFromVariant(const_cast<GVariant*>(userData)).value_or(InitData());

    // The start-up every process shares, as the renderer.
    if (!state.init.executablePath.empty())
        setModulePath(state.init.executablePath);
    setBrowserArguments(state.init.browserArguments);
    startProcess(StartReport::InBackground);

    log::startLogging("renderer");
    LOG_INFO << "renderer thread created";

    state.engine = std::make_unique<SystemTolvane>();
    SystemTolvane::setCurrent(state.engine.get());
    state.bridge = std::make_unique<CallBridge>(sendCall, platform::postToMainLoop);
    CallBridge::setCurrent(state.bridge.get());
    g_timeout_add(10, pumpEventBus, nullptr);

    state.windowChannel = std::make_unique<platform::WindowChannelClient>(state.init.windowChannel);
    setMainWindowLink(state.init.mainWindowId, [](const std::string& request) { return renderer().windowChannel->request(request); });
    watchDraggableRegions();

    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(onWindowObjectCleared), nullptr);
}
