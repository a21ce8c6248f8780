// The web view's client in the browser process.

#include "browser/Client.h"

#include "app/Log.h"
#include "browser/JsonMessage.h"

#include <charconv>

namespace tvn {

Client::Client(GRef<WebKitWebView> view, std::function<void()> onPageClosed)
    : m_view(std::move(view))
    , m_onPageClosed(std::move(onPageClosed))
{
    m_messageHandler = g_signal_connect(m_view.get(), "user-message-received", G_CALLBACK(onUserMessage), this);
    m_closeHandler = g_signal_connect(m_view.get(), "close", G_CALLBACK(onClose), this);
    LOG_INFO << "client created";
}

Client::~Client()
{
    g_signal_handler_disconnect(m_view.get(), m_messageHandler);
    g_signal_handler_disconnect(m_view.get(), m_closeHandler);
    LOG_INFO << "client destroyed";
}

void Client::Close()
{
    LOG_DEBUG << "client close";
    webkit_web_view_try_close(m_view.get());
}

void Client::sendToPage(const char* name, const nlohmann::json& arguments)
{
    webkit_web_view_send_message_to_page(m_view.get(), webkit_user_message_new(name, jsonParameters(arguments)), nullptr, nullptr, nullptr);
}

void Client::addMethod(std::string name, Method method)
{
    m_methods[std::move(name)] = std::move(method);
}

gboolean Client::onUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data)
{
    auto* self = static_cast<Client*>(data);
    const std::string name = webkit_user_message_get_name(message);
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
        const nlohmann::json reply = { std::to_string(callId), dictionary.is_object() ? dictionary : nlohmann::json::object() };
        webkit_web_view_send_message_to_page(view.get(), webkit_user_message_new("result", jsonParameters(reply)), nullptr, nullptr, nullptr);
    });
}

} // namespace tvn
