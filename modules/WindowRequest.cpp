// Requests to the main window.

#include "modules/WindowRequest.h"

#include "core/Log.h"
#include "util/JsonText.h"

#include <mutex>

namespace tvn {

namespace {

struct Link {
    std::mutex mutex;
    int64_t windowId = 0;
    WindowTransport transport;
};

Link& link()
{
    static Link instance;
    return instance;
}

} // namespace

void setMainWindowLink(int64_t windowId, WindowTransport transport)
{
    std::lock_guard lock(link().mutex);
    link().windowId = windowId;
    link().transport = std::move(transport);
}

int64_t mainWindowId()
{
    std::lock_guard lock(link().mutex);
    return link().windowId;
}

std::optional<nlohmann::json> requestMainWindow(const std::string& command, nlohmann::json fields)
{
    int64_t windowId = 0;
    WindowTransport transport;
    {
        std::lock_guard lock(link().mutex);
        windowId = link().windowId;
        transport = link().transport;
    }
    if (!windowId || !transport)
        return std::nullopt;
    if (!fields.is_object())
        fields = nlohmann::json::object();
    fields["window"] = windowId;
    fields["command"] = command;
    const std::optional<std::string> reply = transport(jsonText(fields));
    if (!reply) {
        LOG_ERROR << "window request not answered: " << command;
        return std::nullopt;
    }
    nlohmann::json answer = nlohmann::json::parse(*reply, nullptr, false);
    if (!answer.is_object())
        return std::nullopt;
    return answer;
}

} // namespace tvn
