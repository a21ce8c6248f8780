// Tray requests and notification numbers.

#include "window/TrayCommands.h"

#include "util/Base64.h"

#include <nlohmann/json.hpp>

namespace tvn {

std::vector<int> trayNotifications(TrayAction action, int button)
{
    switch (action) {
    case TrayAction::Activate:
        return { kTrayLeftDown, kTrayLeftUp, kTraySelect };
    case TrayAction::SecondaryActivate:
        return { kTrayMiddleDown, kTrayMiddleUp };
    case TrayAction::ContextMenu:
        return { kTrayRightDown, kTrayRightUp, kTrayContextMenu };
    case TrayAction::Press:
        return button == 1 ? std::vector<int> { kTrayLeftDown } : button == 2 ? std::vector<int> { kTrayMiddleDown } : button == 3 ? std::vector<int> { kTrayRightDown } : std::vector<int> {};
    case TrayAction::DoublePress:
        return button == 1 ? std::vector<int> { kTrayLeftDouble } : std::vector<int> {};
    case TrayAction::Release:
        return button == 1 ? std::vector<int> { kTrayLeftUp, kTraySelect }
            : button == 2  ? std::vector<int> { kTrayMiddleUp }
            : button == 3  ? std::vector<int> { kTrayRightUp, kTrayContextMenu }
                           : std::vector<int> {};
    case TrayAction::Hover:
        return { kTrayMouseMove };
    }
    return {};
}

namespace {

TrayImage imageOf(const nlohmann::json& request)
{
    const auto image = request.find("image");
    if (image == request.end() || !image->is_string())
        return {};
    return { false, base64Decode(image->get<std::string>()) };
}

} // namespace

std::optional<nlohmann::json> answerTrayRequest(TrayControl& tray, const nlohmann::json& request)
{
    const auto field = request.find("command");
    if (field == request.end() || !field->is_string())
        return std::nullopt;
    const std::string command = field->get<std::string>();
    nlohmann::json answer = { { "ok", true } };
    if (command == "trayAdd") {
        const auto page = request.find("page");
        tray.add(imageOf(request), page != request.end() && page->is_number_integer() ? page->get<int>() : 0);
    } else if (command == "trayShow") {
        tray.show();
    } else if (command == "trayModify") {
        tray.modify(imageOf(request));
    } else if (command == "trayHide") {
        tray.hide();
    } else if (command == "trayState") {
        answer["hosted"] = tray.hosted();
    } else {
        return std::nullopt;
    }
    return answer;
}

} // namespace tvn
