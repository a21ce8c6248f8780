// Message box rules: options to request, request to buttons, result id to answer.

#include "window/MessageBox.h"

#include "util/Translate.h"

#include <nlohmann/json.hpp>

namespace tvn {

namespace {

struct StandardButton {
    int flag;
    int id;
    const char* name;
    const char* label;
};

// In the order they are shown.
constexpr StandardButton kStandardButtons[] = {
    { kButtonOk, kIdOk, "ok", N_("_OK") },
    { kButtonYes, kIdYes, "yes", N_("_Yes") },
    { kButtonNo, kIdNo, "no", N_("_No") },
    { kButtonRetry, kIdRetry, "retry", N_("_Retry") },
    { kButtonCancel, kIdCancel, "cancel", N_("_Cancel") },
    { kButtonClose, kIdClose, "close", N_("C_lose") },
};

constexpr std::pair<MessageBoxIcon, const char*> kIcons[] = {
    { MessageBoxIcon::Information, "info" },
    { MessageBoxIcon::Warning, "warning" },
    { MessageBoxIcon::Error, "error" },
    { MessageBoxIcon::Shield, "shield" },
};

// A task dialog's "&" marks the access key; GTK's mark is "_" ("&&" is a literal "&").
std::string mnemonicLabel(std::string_view text)
{
    std::string label;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            label += "__";
        } else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
            label += '&';
            ++i;
        } else if (text[i] == '&') {
            label += '_';
        } else {
            label += text[i];
        }
    }
    return label;
}

} // namespace

int standardButtonFlags(std::string_view type)
{
    int flags = 0;
    size_t start = 0;
    while (start <= type.size()) {
        size_t end = type.find(',', start);
        if (end == std::string_view::npos)
            end = type.size();
        const std::string_view name = type.substr(start, end - start);
        for (const StandardButton& button : kStandardButtons) {
            if (name == button.name)
                flags |= button.flag;
        }
        start = end + 1;
    }
    return flags;
}

MessageBoxIcon messageBoxIcon(std::string_view name)
{
    for (const auto& [icon, iconName] : kIcons) {
        if (name == iconName)
            return icon;
    }
    return MessageBoxIcon::None;
}

std::string messageBoxAnswer(int id, const std::vector<CustomButton>& customButtons)
{
    for (const StandardButton& button : kStandardButtons) {
        if (id == button.id)
            return button.name;
    }
    for (const CustomButton& button : customButtons) {
        if (id == button.id)
            return button.name;
    }
    return {};
}

std::vector<ShownButton> shownButtons(const MessageBoxRequest& request)
{
    std::vector<ShownButton> buttons;
    for (const CustomButton& button : request.customButtons)
        buttons.push_back({ button.id, mnemonicLabel(button.text) });
    for (const StandardButton& button : kStandardButtons) {
        if (request.standardButtons & button.flag)
            buttons.push_back({ button.id, translate(button.label) });
    }
    if (buttons.empty())
        buttons.push_back({ kIdOk, "_OK" });
    return buttons;
}

std::optional<int> dismissResult(const MessageBoxRequest& request)
{
    if (request.standardButtons & kButtonCancel)
        return kIdCancel;
    return std::nullopt;
}

const char* iconName(MessageBoxIcon icon)
{
    switch (icon) {
    case MessageBoxIcon::Information:
        return "dialog-information";
    case MessageBoxIcon::Warning:
        return "dialog-warning";
    case MessageBoxIcon::Error:
        return "dialog-error";
    case MessageBoxIcon::Shield:
        return "security-high";
    case MessageBoxIcon::None:
        break;
    }
    return "";
}

nlohmann::json toJson(const MessageBoxRequest& request)
{
    nlohmann::json custom = nlohmann::json::array();
    for (const CustomButton& button : request.customButtons)
        custom.push_back({ { "id", button.id }, { "text", button.text } });
    return {
        { "title", request.title },
        { "main", request.main },
        { "text", request.text },
        { "buttons", request.standardButtons },
        { "icon", static_cast<int>(request.icon) },
        { "custom", std::move(custom) },
    };
}

std::optional<MessageBoxRequest> messageBoxRequestFromJson(const nlohmann::json& json)
{
    if (!json.is_object())
        return std::nullopt;
    const auto text = [&json](const char* key) {
        const auto field = json.find(key);
        return field != json.end() && field->is_string() ? field->get<std::string>() : std::string();
    };
    MessageBoxRequest request;
    request.title = text("title");
    request.main = text("main");
    request.text = text("text");
    if (const auto buttons = json.find("buttons"); buttons != json.end() && buttons->is_number_integer())
        request.standardButtons = buttons->get<int>();
    if (const auto icon = json.find("icon"); icon != json.end() && icon->is_number_integer()) {
        const int value = icon->get<int>();
        if (value >= 0 && value <= static_cast<int>(MessageBoxIcon::Shield))
            request.icon = static_cast<MessageBoxIcon>(value);
    }
    if (const auto custom = json.find("custom"); custom != json.end() && custom->is_array()) {
        for (const nlohmann::json& button : *custom) {
            if (!button.is_object() || !button.contains("id") || !button["id"].is_number_integer())
                return std::nullopt;
            const auto label = button.find("text");
            request.customButtons.push_back({ button["id"].get<int>(), {}, label != button.end() && label->is_string() ? label->get<std::string>() : "" });
        }
    }
    return request;
}

} // namespace tvn
