// The web view's client in the browser process.

#include "browser/Client.h"

#include "browser/DragAndDrop.h"
#include "browser/FileDialog.h"
#include "browser/NavigationPolicy.h"
#include "browser/ScriptDialogs.h"
#include "core/Log.h"
#include "ipc/JsonMessage.h"
#include "util/JsonText.h"

#include <charconv>

namespace tvn {

Client::Client(GRef<WebKitWebView> view, std::function<void()> onPageClosed)
    : m_view(std::move(view))
    , m_onPageClosed(std::move(onPageClosed))
{
    m_messageHandler = g_signal_connect(m_view.get(), "user-message-received", G_CALLBACK(onUserMessage), this);
    m_closeHandler = g_signal_connect(m_view.get(), "close", G_CALLBACK(onClose), this);
    addFileMethods();
    LOG_INFO << "client created";
}

namespace {

void sendMessage(WebKitWebView* view, const char* name, const nlohmann::json& arguments)
{
    webkit_web_view_send_message_to_page(view, webkit_user_message_new(name, jsonParameters(arguments)), nullptr, nullptr, nullptr);
}

// File names as the page gets them: a name that is not UTF-8 (the file system allows any bytes)
// cannot be represented in script, so it goes with replacement characters, and is logged.
std::vector<std::string> namesForPage(const std::vector<std::string>& paths)
{
    std::vector<std::string> names;
    names.reserve(paths.size());
    for (const std::string& path : paths) {
        names.push_back(validUtf8(path));
        if (names.back() != path) {
            LOG_WARN << "file name is not utf-8: " << names.back();
        }
    }
    return names;
}

} // namespace

// The methods that need the browser process's windows, and the files dragged over the page.
void Client::addFileMethods()
{
    WebKitWebView* view = m_view.get();
    addMethod("openFileDialog", [view](const nlohmann::json& arguments, std::function<void(nlohmann::json)> reply) {
        const std::optional<FileDialogRequest> request = fileDialogRequest(arguments);
        if (!request)
            return;
        runFileDialog(dialogOwner(view), *request, [reply = std::move(reply)](std::vector<std::string> paths) {
            reply({ { "files", namesForPage(paths) } });
        });
    });

    addMethod("doDragDrop", [view](const nlohmann::json& arguments, std::function<void(nlohmann::json)> reply) {
        if (arguments.size() != 1 || !arguments[0].is_array())
            return;
        std::vector<std::string> paths;
        for (const nlohmann::json& path : arguments[0])
            if (path.is_string())
                paths.push_back(path.get<std::string>());
        // Answered when the drag is over, dropped or cancelled, with the list as it was given.
        auto answer = [reply = std::move(reply), given = arguments[0]] { reply({ { "files", given } }); };
        switch (startFileDrag(GTK_WIDGET(dialogOwner(view)), paths, answer)) {
        case FileDragStart::NoFiles:
            LOG_INFO << "do drag drop: no file to drag";
            break;
        case FileDragStart::NotStarted:
            answer();
            break;
        case FileDragStart::Started:
            break;
        }
    });

    // The watch goes with the view, which may outlive this client: it holds the view only.
    watchFileDrags(view, [view](const std::vector<std::string>& files) {
        LOG_INFO << "on drag enter: ";
        for (const std::string& file : files)
            LOG_INFO << "  - " << file;
        noteDraggedFiles(view, files);
        const nlohmann::json drag = { { "type", "file" }, { "files", namesForPage(files) } };
        sendMessage(view, "drag", nlohmann::json::array({ drag }));
    });
}

Client::~Client()
{
    // A view already disposed (its window destroyed first) has dropped every handler itself.
    for (const gulong handler : { m_messageHandler, m_closeHandler })
        if (g_signal_handler_is_connected(m_view.get(), handler))
            g_signal_handler_disconnect(m_view.get(), handler);
    LOG_INFO << "client destroyed";
}

void Client::Close()
{
    LOG_DEBUG << "client close";
    webkit_web_view_try_close(m_view.get());
}

void Client::sendToPage(const char* name, const nlohmann::json& arguments)
{
    sendMessage(m_view.get(), name, arguments);
}

void Client::addMethod(std::string name, Method method)
{
    m_methods[std::move(name)] = std::move(method);
}

gboolean Client::onUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data)
{
    auto* self = static_cast<Client*>(data);
    const std::string name = webkit_user_message_get_name(message);
    if (name == kDraggableRegionsMessage) { // a layout change, not worth a log line
        self->m_draggableRegions = draggableRegionsFromJson(argumentsOf(webkit_user_message_get_parameters(message)));
        return TRUE;
    }
    LOG_INFO << "on process message received: " << name;
    if (name != "call")
        return FALSE;
    const nlohmann::json arguments = argumentsOf(webkit_user_message_get_parameters(message));
    if (arguments.size() != 3 || !arguments[0].is_string() || !arguments[2].is_string())
        return TRUE;
    const std::string& idText = arguments[2].get_ref<const std::string&>();
    int64_t callId = 0;
    const auto [end, error] = std::from_chars(idText.data(), idText.data() + idText.size(), callId);
    if (error != std::errc() || end != idText.data() + idText.size())
        return TRUE; // not a call id the page sends: dropped
    self->HandleCall(arguments[0].get<std::string>(), arguments[1], callId);
    return TRUE;
}

bool Client::inDraggableRegion(int x, int y) const
{
    // Regions are in page pixels; the view's zoom is the page's scale.
    return tvn::inDraggableRegion(m_draggableRegions, x, y, webkit_web_view_get_zoom_level(m_view.get()));
}

void Client::onClose(WebKitWebView*, gpointer data)
{
    auto* self = static_cast<Client*>(data);
    if (self->m_onPageClosed)
        self->m_onPageClosed();
}

void Client::HandleCall(const std::string& method, const nlohmann::json& arguments, int64_t callId)
{
    LOG_INFO << "client call: " << method;
    const auto found = m_methods.find(method);
    if (found == m_methods.end()) {
        LOG_INFO << "client call unknown, not answered: " << method;
        return;
    }
    // The reply keeps the view alive until it is sent.
    found->second(arguments, [view = m_view, callId](nlohmann::json dictionary) {
        sendMessage(view.get(), "result", { std::to_string(callId), dictionary.is_object() ? dictionary : nlohmann::json::object() });
    });
}

} // namespace tvn
