// The tray icon as the page's trayicon module drives it: its tasks as window-channel requests, and
// its pointer events as the Win32 notification numbers the page reads. No toolkit here.
//
// Requests (each answered {"ok": true} once carried out, in the order they came, unless said):
//   "trayAdd"    {page, image?}  shows the icon (again, after a hide), with the image (Base64, any
//                                format the image loader reads; one that does not load gives an icon
//                                without an image) or, without "image", the application's own; its
//                                events go to the page `page` from now on
//   "trayShow"   {}              re-applies the stored visibility
//   "trayModify" {image?}        the new image (one that does not load keeps the current), or the
//                                application's own without "image"
//   "trayHide"   {}              hides the icon
//   "trayState"  {}              answered {"ok": true, "hosted": bool}: whether a tray shows the
//                                icon now (a window hidden to it can be brought back)
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tvn {

// Notification numbers.
inline constexpr int kTrayMouseMove = 0x0200, kTrayLeftDown = 0x0201, kTrayLeftUp = 0x0202, kTrayLeftDouble = 0x0203;
inline constexpr int kTrayRightDown = 0x0204, kTrayRightUp = 0x0205, kTrayMiddleDown = 0x0207, kTrayMiddleUp = 0x0208;
inline constexpr int kTrayContextMenu = 0x007B, kTraySelect = 0x0400;

// What a tray host saw, and the notifications the page gets for it, in order.
enum class TrayAction {
    Activate,          // a status-notifier host's primary activation: a left click
    SecondaryActivate, // its secondary activation: a middle click
    ContextMenu,       // its menu request: a right click
    Press,             // an embedded icon's button press (button 1 to 3)
    DoublePress,       // its double click
    Release,           // its button release
    Hover,             // the pointer over an embedded icon
};
std::vector<int> trayNotifications(TrayAction, int button = 1);

// The image a task carries: the application's own, or bytes to load.
struct TrayImage {
    bool applicationIcon = true;
    std::vector<uint8_t> bytes;
};

// What the requests act on: the UI process's tray icon (tests use their own).
class TrayControl {
public:
    virtual ~TrayControl() = default;
    virtual void add(const TrayImage&, int page) = 0;
    virtual void show() = 0;
    virtual void modify(const TrayImage&) = 0;
    virtual void hide() = 0;
    virtual bool hosted() const = 0;
};

// Carries out a tray request; its answer, or nullopt when `request` is none (the caller answers
// it otherwise).
std::optional<nlohmann::json> answerTrayRequest(TrayControl&, const nlohmann::json& request);

} // namespace tvn
