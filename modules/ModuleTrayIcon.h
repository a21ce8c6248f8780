// The "trayicon" module: the page puts the application's icon into the notification area
// (add({callback, icon})), changes its image (modify({icon})) and hides it (hide()). The icon
// lives in the browser process; each member is a request over the window channel, carried out in
// the order made. The icon's pointer events come back as "trayEvent" on the bus and go to the
// callback of the module that added the icon last, as {msg, x, y}. Script thread only.
#pragma once

#include "core/EventBus.h"
#include "modules/ModuleBase.h"

#include <optional>
#include <string>

namespace tvn {

class ModuleTrayIcon final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;

private:
    void onTrayEvent(const EventBus::Message&);

    std::optional<std::string> m_image; // Base64; none: the application's own icon
    ScriptValue m_callback;
    EventBus::Subscription m_subscription;
};

} // namespace tvn
