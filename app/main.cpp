// tvn's entry function: the start-up every process shares (command line, channel id, installation
// source, the "checkbdvid" event), then the role: the one-shot report run, or the browser.

#include "app/CommandLine.h"
#include "app/GlobalConfig.h"
#include "app/Paths.h"
#include "app/ProcessValues.h"
#include "app/StartUp.h"
#include "net/Report.h"

#include <clocale>
#include <iostream>

namespace {

// --command=report: one event from --scene, then exit 0 whether or not it reached the server.
int runReport(const tvn::StartOptions& options)
{
    const tvn::SceneEvent event = tvn::parseScene(options.scene);
    tvn::ReportParameters parameters;
    std::copy(event.parameters.begin(), event.parameters.end(), parameters.begin());
    tvn::postReport(tvn::buildReport(event.name, parameters));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, ""); // the locale's code page stands for the ANSI code page
    const tvn::StartOptions options = tvn::parseCommandLine({ argv, argv + argc });
    if (options.help) {
        std::cout << tvn::commandLineUsage();
        return 0;
    }

    tvn::setChannelId(tvn::readChannelId(tvn::modulePath()));
    const std::string inst = tvn::GlobalConfig::instance().getString("inst", "");
    tvn::setBdVid(tvn::bdVidFromInst(inst));
    tvn::postReport(tvn::buildReport("checkbdvid", { inst }));

    if (options.command == "report")
        return runReport(options);

    std::cerr << "tvn: this build has no browser host yet (see --help)\n";
    return 1;
}
