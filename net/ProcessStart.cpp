// The shared start-up.

#include "net/ProcessStart.h"

#include "core/GlobalConfig.h"
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "core/StartUp.h"
#include "net/Report.h"
#include "platform/RuntimeFolder.h"

#include <clocale>
#include <thread>

namespace tvn {

void startProcess(StartReport mode)
{
    std::setlocale(LC_ALL, "");
    // The folder holds the configuration, the device id, the registry store and the logs.
    platform::makePrivateFolder(appDataPath());
    setChannelId(readChannelId(modulePath()));
    const std::string inst = GlobalConfig::instance().getString("inst", "");
    setBdVid(bdVidFromInst(inst));
    std::string report = buildReport("checkbdvid", { inst });
    if (mode == StartReport::Wait) {
        postReport(report);
        return;
    }
    // The thread touches only what lives until the process ends (the configuration, the device
    // id, libcurl's global state); a process that ends first simply ends it.
    std::thread([report = std::move(report)] { postReport(report); }).detach();
}

} // namespace tvn
