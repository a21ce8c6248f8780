// The command line: the three options every process reads (command, scene, type), and --autorun,
// which the page reads (it scans and repairs on its own) and which sends the page's console
// messages to standard output.
//
// Parse errors and unknown switches are ignored, because the sub-process command lines carry many
// switches that are not ours; whatever options could be read are read.
#pragma once

#include <string>
#include <vector>

namespace tvn {

struct StartOptions {
    std::string command; // "report" selects the report run (exact, case-sensitive)
    std::string scene;   // the report run's event: "name,p1,p2,p3"
    std::string type;    // the process role; empty for the browser process
    bool help = false;
    bool autorun = false;
};

// `arguments` is argv, the program path first. `-c value`, `--name=value` and `--name value` are
// accepted; a repeated option keeps its last value.
StartOptions parseCommandLine(const std::vector<std::string>& arguments);

// The usage text printed for --help.
std::string commandLineUsage();

} // namespace tvn
