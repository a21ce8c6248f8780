// The page's message box (sys.msgBox): what the web process asks for and what the UI process shows.
//
// The web process reads the page's options into a MessageBoxRequest and sends it over the window
// channel; the UI process shows the buttons it lists and answers the id of the one pressed. Ids are
// the system's dialog results: the standard buttons' (IDOK 1, IDCANCEL 2, IDRETRY 4, IDYES 6,
// IDNO 7, IDCLOSE 8) and 1000, 1001, ... for the page's own buttons in their order.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// Standard-button flags, as the page's "type" names them.
enum MessageBoxButtonFlag : int {
    kButtonOk = 1,
    kButtonYes = 2,
    kButtonNo = 4,
    kButtonCancel = 8,
    kButtonRetry = 16,
    kButtonClose = 32,
};

// Dialog results.
inline constexpr int kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7, kIdClose = 8;
inline constexpr int kFirstCustomButtonId = 1000;

enum class MessageBoxIcon { None, Information, Warning, Error, Shield };

struct CustomButton {
    int id = 0;
    std::string name; // what the page gets back
    std::string text; // what the button says
};

struct MessageBoxRequest {
    std::string title;
    std::string main; // the main instruction
    std::string text; // the content
    int standardButtons = 0;
    MessageBoxIcon icon = MessageBoxIcon::None;
    std::vector<CustomButton> customButtons;
};

// "type": a comma-separated list; names compared exactly (no trimming), unknown names ignored.
int standardButtonFlags(std::string_view type);
MessageBoxIcon messageBoxIcon(std::string_view name);
// The page's answer for a result id: a standard button's name, a custom button's "name", else "".
std::string messageBoxAnswer(int id, const std::vector<CustomButton>& customButtons);

// A button as shown: its result id and its label (GTK mnemonic syntax).
struct ShownButton {
    int id = 0;
    std::string label;
    bool operator==(const ShownButton&) const = default;
};
// The page's buttons first, then the standard ones in a fixed order (OK, Yes, No, Retry, Cancel,
// Close); OK alone when there are none at all.
std::vector<ShownButton> shownButtons(const MessageBoxRequest&);
// What Escape or closing the window answers: Cancel when a Cancel button is shown, else nothing
// (the dialog stays open).
std::optional<int> dismissResult(const MessageBoxRequest&);
// The icon's name in the desktop's icon theme; empty for none.
const char* iconName(MessageBoxIcon);

// The request's form on the window channel (without the command and window fields).
nlohmann::json toJson(const MessageBoxRequest&);
std::optional<MessageBoxRequest> messageBoxRequestFromJson(const nlohmann::json&);

} // namespace tvn
