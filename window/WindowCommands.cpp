// Window channel requests, carried out.

#include "window/WindowCommands.h"

#include "util/Base64.h"
#include "util/JsonText.h"

#include <nlohmann/json.hpp>

namespace tvn {

namespace {

std::optional<int> intField(const nlohmann::json& request, const char* key)
{
    const auto field = request.find(key);
    if (field == request.end() || !field->is_number_integer())
        return std::nullopt;
    return field->get<int>();
}

bool boolField(const nlohmann::json& request, const char* key)
{
    const auto field = request.find(key);
    if (field == request.end())
        return false;
    if (field->is_boolean())
        return field->get<bool>();
    return field->is_number() && field->get<double>() != 0;
}

bool carryOut(WindowControl& window, const std::string& command, const nlohmann::json& request, nlohmann::json& reply)
{
    using Show = WindowControl::Show;
    if (command == "state") {
        const WindowControl::State state = window.state();
        reply["topmost"] = state.topmost;
        reply["resizable"] = state.resizable;
        reply["maximized"] = state.maximized;
        reply["width"] = state.width;
        reply["height"] = state.height;
    } else if (command == "setTopmost") {
        window.setTopmost(boolField(request, "value"));
    } else if (command == "setResizeable") {
        window.OnSetResizeable(boolField(request, "value"));
    } else if (command == "close") {
        window.closeWindow();
    } else if (command == "show") {
        window.showWindow(Show::Show);
    } else if (command == "hide") {
        window.showWindow(Show::Hide);
    } else if (command == "minimize") {
        window.showWindow(Show::Minimize);
    } else if (command == "maximize") {
        window.showWindow(Show::Maximize);
    } else if (command == "restore") {
        window.showWindow(Show::Restore);
    } else if (command == "setWindowPos") {
        // Absent coordinates are 0; a position or a size is applied when either of its two is present.
        const std::optional<int> x = intField(request, "x"), y = intField(request, "y");
        const std::optional<int> w = intField(request, "w"), h = intField(request, "h");
        window.setWindowPos(x || y, x.value_or(0), y.value_or(0), w || h, w.value_or(0), h.value_or(0));
    } else if (command == "centerWindow") {
        window.centerWindow(intField(request, "w"), intField(request, "h"));
    } else if (command == "bringWindowToFront") {
        window.bringToFront();
    } else if (command == "flash") {
        window.flash();
    } else if (command == "setBackground") {
        const auto color = request.find("color");
        window.setBackground(color != request.end() && color->is_string() ? color->get<std::string>() : std::string());
    } else if (command == "setIcon") {
        const auto image = request.find("image");
        window.setIcon(image != request.end() && image->is_string() ? base64Decode(image->get<std::string>()) : std::vector<uint8_t>());
    } else {
        return false;
    }
    return true;
}

} // namespace

namespace {

std::string okReply(nlohmann::json reply, bool ok)
{
    reply["ok"] = ok;
    return jsonText(reply);
}

// The commands that answer later; false when `command` is none of them.
bool carryOutLater(WindowControl& window, const std::string& command, const nlohmann::json& request, std::function<void(std::string)>& reply)
{
    if (command == "msgBox") {
        std::optional<MessageBoxRequest> box = messageBoxRequestFromJson(request);
        if (!box)
            return false;
        window.showMessageBox(*box, [reply = std::move(reply)](int id) { reply(okReply({ { "id", id } }, true)); });
    } else if (command == "clipboardRead") {
        window.readClipboardText([reply = std::move(reply)](std::optional<std::string> text) { reply(okReply({ { "text", text.value_or("") } }, true)); });
    } else if (command == "clipboardWrite") {
        const auto text = request.find("text");
        const bool written = text != request.end() && text->is_string() && window.writeClipboardText(text->get<std::string>());
        reply(okReply({ { "written", written } }, true));
    } else {
        return false;
    }
    return true;
}

} // namespace

void answerWindowRequest(WindowControl& window, std::string_view line, std::function<void(std::string)> reply)
{
    const nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
    nlohmann::json answer = nlohmann::json::object();
    bool done = false;
    if (request.is_object()) {
        const auto id = request.find("window");
        const auto command = request.find("command");
        const bool ours = window.windowId() != 0 && id != request.end() && id->is_number_integer() && id->get<int64_t>() == window.windowId();
        if (ours && command != request.end() && command->is_string()) {
            const std::string name = command->get<std::string>();
            if (carryOutLater(window, name, request, reply))
                return;
            done = carryOut(window, name, request, answer);
        }
    }
    reply(okReply(std::move(answer), done));
}

} // namespace tvn
