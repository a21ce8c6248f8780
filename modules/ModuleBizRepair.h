// The "biz_repair" module: the page hands DLL and software lists to the repair engine
// (scanDlls, scanSoftwares, repairDlls, installSoftwares, oneKeyScan, oneKeyRepair, cancelTask)
// and gets each item's result through the callback slot of its kind (onProgress: the bytes of the
// file being fetched for a repair or an install, a few times a second); downloadFile fetches one
// server file into the user's Downloads folder (a free name there), asking the server for its address
// on the download's own thread (no address: the last event's error is 0x80070057). The engine's messages arrive on the
// event bus; the server's fresh tokens ("HTTP_GetDownloadToken") go into the engine. From its
// first repair or install on, the module holds the process's heartbeat chain, and lets it go with
// itself. Script thread only.
#pragma once

#include "core/EventBus.h"
#include "repair/HeartbeatChain.h"
#include "modules/ModuleBase.h"
#include "repair/Items.h"

#include <array>
#include <optional>
#include <vector>

namespace tvn {

class ModuleBizRepair final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;

    // The callback slots, in the order of their messages.
    enum Slot { ScanDlls, ScanSoftwares, RepairDlls, InstallSoftwares, CancelTask, Progress, SlotCount };

private:
    // The call's argument at `index` into the slot when it is a function; false (the slot left as
    // it was) when it is not.
    bool takeCallback(MethodCall&, size_t index, Slot);
    void deliver(Slot, const EventBus::Message&);
    void holdHeartbeat()
    {
        if (!m_heartbeat)
            m_heartbeat = holdHeartbeatChain();
    }

    std::array<ScriptValue, SlotCount> m_slots;
    std::vector<EventBus::Subscription> m_subscriptions;
    HeartbeatHold m_heartbeat;
};

// The page's item lists; nullopt when the value is not an array. A DLL element without "filePath"
// is left out; a software element never is.
std::optional<std::vector<DllItem>> readDllItems(JSCValue* array);
std::optional<std::vector<SoftwareItem>> readSoftwareItems(JSCValue* array);

} // namespace tvn
