// The "window" module: the page drives the main window with it (show, hide, minimise, maximise,
// restore, close, move, size, centre, bring to front, flash, icon, always on top, resizability)
// and is told when the window's size changes.
//
// Every member is a request to the browser process over the window channel; the call returns when
// the UI thread has acted. Size changes arrive as "onSize" on the event bus (browser id, size type,
// width, height) and go to the callback of each module of that browser. Script thread only.
#pragma once

#include "core/EventBus.h"
#include "modules/ModuleBase.h"

namespace tvn {

class ModuleWindow final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;

private:
    void onSizeEvent(const EventBus::Message&);

    ScriptValue m_sizeCallback;
    EventBus::Subscription m_sizeSubscription;
};

// The size types the window reports.
inline constexpr int kWindowRestored = 0;
inline constexpr int kWindowMaximized = 2;

} // namespace tvn
