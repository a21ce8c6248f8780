// tvn's entry function: reads the command line, the channel id and the installation source that
// every process role shares. The browser role is added by the browser host.

#include "app/CommandLine.h"
#include "app/GlobalConfig.h"
#include "app/Paths.h"
#include "app/StartUp.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, ""); // the locale's code page stands for the ANSI code page
    const tvn::StartOptions options = tvn::parseCommandLine({ argv, argv + argc });
    if (options.help) {
        std::cout << tvn::commandLineUsage();
        return 0;
    }

    const std::string channelId = tvn::readChannelId(tvn::modulePath());
    const std::string bdVid = tvn::bdVidFromInst(tvn::GlobalConfig::instance().getString("inst", ""));
    std::cerr << "tvn: channel " << channelId << (bdVid.empty() ? "" : ", bd_vid " + bdVid)
              << ": this build has no browser host yet (see --help)\n";
    return 1;
}
