// The shared start-up.

#include "startup/ProcessStart.h"

#include "core/GlobalConfig.h"
#include "core/Paths.h"
#include "core/ProcessValues.h"
#include "startup/StartUp.h"
#include "net/Report.h"
#include "platform/RuntimeFolder.h"

#include "platform/ThreadGroup.h"

#include <clocale>

namespace tvn {

namespace {

// The start report's thread, owned by the process: joined by endProcess() (or at exit). The
// report's request is not cut; its time limit bounds the wait.
platform::ThreadGroup& reportThreads()
{
    static platform::ThreadGroup threads;
    return threads;
}

} // namespace

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
    reportThreads().start([report = std::move(report)](std::stop_token) { postReport(report); });
}

void endProcess()
{
    reportThreads().stop();
}

} // namespace tvn
