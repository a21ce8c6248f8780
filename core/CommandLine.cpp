// The command line on CLI11.

#include "core/CommandLine.h"

#include "util/Translate.h"

#include <CLI/CLI.hpp>

namespace tvn {

namespace {

struct Parser {
    CLI::App app { translate("tvn: finds and repairs missing system libraries and runtime packages"), "tvn" };
    CLI::Option* command;
    CLI::Option* scene;
    CLI::Option* type;
    CLI::Option* help;
    CLI::Option* autorun;
    CLI::Option* check;

    Parser()
    {
        app.set_help_flag();
        app.allow_extras();
        command = app.add_option("-c,--command")->description(translate("command: report"));
        scene = app.add_option("-s,--scene")->description(translate("event scene"));
        type = app.add_option("--type")->description(translate("process type: browser/renderer/other"));
        autorun = app.add_flag("--autorun")->description(translate("the page scans and repairs on its own and prints each result"));
        // Read by the page from the command line as it stands.
        check = app.add_option("--check")->description(translate("a Windows program: the page shows what it needs (with --autorun, repairs it)"));
        help = app.add_flag("-h,--help")->description(translate("print this help and exit"));
        for (CLI::Option* option : { command, scene, type })
            option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
};

// What the parser collected for the option, even when the parse as a whole failed.
std::string lastValue(const CLI::Option* option)
{
    const auto& results = option->results();
    return results.empty() ? std::string() : results.back();
}

} // namespace

StartOptions parseCommandLine(const std::vector<std::string>& arguments)
{
    Parser parser;
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    if (!reversed.empty())
        reversed.pop_back(); // the program path
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError&) {
        // A missing value or a malformed switch never stops start-up.
    }
    return {
        lastValue(parser.command),
        lastValue(parser.scene),
        lastValue(parser.type),
        parser.help->count() > 0,
        parser.autorun->count() > 0,
    };
}

std::string commandLineUsage()
{
    return Parser().app.help();
}

} // namespace tvn
