// Handling the browser's messages in the web process.

#include "renderer/RendererMessages.h"

#include "core/EventBus.h"
#include "core/Log.h"
#include "modules/CallBridge.h"
#include "modules/DragFiles.h"

namespace tvn {

namespace {

int intOf(const nlohmann::json& value)
{
    return value.is_number() ? value.get<int>() : 0;
}

} // namespace

bool handleRendererMessage(int browserId, const std::string& name, const nlohmann::json& arguments, RendererMessageTargets& targets)
{
    LOG_DEBUG << "on process message received, message: " << name;
    if (!arguments.is_array())
        return false;

    if (name == "runJavascript") {
        LOG_INFO << "on process message : " << name;
        if (arguments.size() != 1 || !arguments[0].is_string() || !targets.runJavascript)
            return false;
        targets.runJavascript(arguments[0].get<std::string>());
        return true;
    }
    if (name == "onSize") {
        if (arguments.size() == 2 && arguments[1].is_object()) {
            const nlohmann::json& size = arguments[1];
            EventBus::Bus::instance().publish("onSize", { int32_t(browserId), int32_t(intOf(arguments[0])),
                int32_t(intOf(size.value("w", nlohmann::json()))), int32_t(intOf(size.value("h", nlohmann::json()))) });
        }
        return false;
    }
    if (name == "tray") {
        if (arguments.size() == 3)
            EventBus::Bus::instance().publish("trayEvent", { int32_t(browserId), int32_t(intOf(arguments[0])), int32_t(intOf(arguments[1])), int32_t(intOf(arguments[2])) });
        return true;
    }
    if (name == "result") {
        LOG_INFO << "on process message : " << name;
        if (targets.bridge && !arguments.empty() && arguments[0].is_string())
            targets.bridge->onResult(arguments[0].get<std::string>(), arguments.size() > 1 ? arguments[1] : nlohmann::json::object());
        return false;
    }
    if (name == "drag") {
        LOG_INFO << "on process message : " << name;
        if (arguments.empty() || !arguments[0].is_object())
            return false;
        const nlohmann::json& drag = arguments[0];
        const auto files = drag.find("files");
        if (drag.value("type", "") != "file" || files == drag.end() || !files->is_array())
            return false;
        dragFileList().clear();
        for (const auto& file : *files)
            dragFileList().push_back(file.is_string() ? file.get<std::string>() : std::string());
        return true;
    }
    return false;
}

} // namespace tvn
