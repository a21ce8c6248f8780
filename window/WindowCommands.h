// The main window's side of the window channel: a web process's request (one JSON object
// {"window", "command", ...fields}) carried out on a window and answered with one JSON object.
//
// Commands: "state" (answers topmost, resizable, maximized, width, height: the outer size),
// "setTopmost" {value}, "setResizeable" {value: 0 or 1}, "close", "show", "hide", "minimize",
// "maximize", "restore", "setWindowPos" {x, y, w, h: each optional}, "centerWindow" {w, h: each
// optional}, "bringWindowToFront", "flash", "setIcon" {image: Base64}, "setBackground" {color: a
// CSS colour, the page's own background, which the frame around it takes}; and for the sys module, with
// the main window as owner: "msgBox" {the message box request} answers {"id": result id} once the
// user has chosen, "clipboardRead" answers {"text": string} (empty when there is no text),
// "clipboardWrite" {text} answers {"written": bool}. A request for another window id, or one that
// is not understood, does nothing and answers {"ok": false}.
#pragma once

#include "window/MessageBox.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

// What the commands act on; the main window implements it (tests use their own).
class WindowControl {
public:
    struct State {
        bool topmost = false;
        bool resizable = false;
        bool maximized = false;
        int width = 0; // outer size, device pixels
        int height = 0;
    };
    enum class Show { Show, Hide, Minimize, Maximize, Restore };

    virtual ~WindowControl() = default;
    virtual int64_t windowId() const = 0;
    virtual State state() const = 0;
    virtual void setTopmost(bool) = 0;
    virtual void OnSetResizeable(bool) = 0;
    virtual void closeWindow() = 0;
    virtual void showWindow(Show) = 0;
    // Moves when `move`, sizes when `size`; the window is shown either way.
    virtual void setWindowPos(bool move, int x, int y, bool size, int width, int height) = 0;
    // Centres on the primary screen at the given size (the current one where absent).
    virtual void centerWindow(std::optional<int> width, std::optional<int> height) = 0;
    virtual void bringToFront() = 0;
    virtual void flash() = 0;
    // Image bytes in any format the image loader reads; bytes that are no image clear the icon.
    virtual void setIcon(const std::vector<uint8_t>& image) = 0;
    // The colour the page paints its background with (CSS syntax); one that does not parse is ignored.
    virtual void setBackground(const std::string& color) = 0;

    // A modal message box owned by the window; `answered` gets the result id (0: none).
    virtual void showMessageBox(const MessageBoxRequest&, std::function<void(int id)> answered) = 0;
    // The desktop clipboard's text (nullopt: none), given when the clipboard's owner has answered.
    virtual void readClipboardText(std::function<void(std::optional<std::string>)>) = 0;
    virtual bool writeClipboardText(const std::string&) = 0;
};

// Carries out one request line on `window`; `reply` gets the reply line, at once for every command
// but those that wait on the user or on another program (message box, clipboard read).
void answerWindowRequest(WindowControl& window, std::string_view request, std::function<void(std::string)> reply);

} // namespace tvn
