#include "core/CommandLine.h"

#include <gtest/gtest.h>

using namespace tvn;

namespace {
StartOptions parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "/opt/tvn/tvn");
    return parseCommandLine(arguments);
}
}

TEST(CommandLine, LongShortAndSeparateValues)
{
    auto options = parse({ "--command=report", "--scene=install_ok,a,b,c,d" });
    EXPECT_EQ(options.command, "report");
    EXPECT_EQ(options.scene, "install_ok,a,b,c,d");
    EXPECT_EQ(options.type, "");

    options = parse({ "-c", "report", "-s", "x,y" });
    EXPECT_EQ(options.command, "report");
    EXPECT_EQ(options.scene, "x,y");

    options = parse({ "--type", "renderer", "--command", "Report" });
    EXPECT_EQ(options.type, "renderer");
    EXPECT_EQ(options.command, "Report");

    EXPECT_EQ(parse({ "--scene=a b,c" }).scene, "a b,c");
    EXPECT_EQ(parse({ "--command=a", "--command=b" }).command, "b");
}

// Sub-process command lines carry switches that are not ours; nothing about them stops the parse.
TEST(CommandLine, UnknownSwitchesAndErrorsAreIgnored)
{
    auto options = parse({ "--type=gpu-process", "--lang=en-US", "--enable-features=A,B", "stray", "-z", "--scene=s" });
    EXPECT_EQ(options.type, "gpu-process");
    EXPECT_EQ(options.scene, "s");
    EXPECT_FALSE(options.help);

    options = parse({ "--scene=kept", "--command" }); // a missing value
    EXPECT_EQ(options.command, "");
    EXPECT_EQ(options.scene, "kept");

    EXPECT_EQ(parse({}).command, "");
    EXPECT_EQ(parseCommandLine({}).type, "");
}

TEST(CommandLine, Help)
{
    EXPECT_TRUE(parse({ "--help" }).help);
    EXPECT_TRUE(parse({ "--type=x", "--autorun" }).autorun);
    EXPECT_FALSE(parse({ "--autorunner" }).autorun);
    const std::string usage = commandLineUsage();
    for (const char* text : { "--command", "command: report", "--scene", "event scene", "--type", "process type: browser/renderer/other", "--autorun" })
        EXPECT_NE(usage.find(text), std::string::npos) << text;
}
