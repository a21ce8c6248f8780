// The system's version from a release text, its bitness from the machine name, and the command
// line's words as the shell would split them.
#include "platform/Launcher.h"
#include "platform/SystemVersion.h"

#include <gtest/gtest.h>

using namespace tvn::platform;

TEST(SystemVersion, ReleaseNumbers)
{
    EXPECT_EQ(versionFromRelease("6.1.0-18-amd64"), (SystemVersion { 6, 1, 0, 2 }));
    EXPECT_EQ(versionFromRelease("5.15.153.1-microsoft-standard-WSL2"), (SystemVersion { 5, 15, 153, 2 }));
    EXPECT_EQ(versionFromRelease("6.8"), (SystemVersion { 6, 8, 0, 2 }));
    EXPECT_EQ(versionFromRelease("unknown"), (SystemVersion { 0, 0, 0, 2 }));
    // The rule the page relies on: 10 with a build of 22000 or more is 11.
    EXPECT_EQ(versionFromRelease("10.0.22000").major, 11);
    EXPECT_EQ(versionFromRelease("10.0.21999").major, 10);
    EXPECT_EQ(versionFromRelease("12.0.22000").major, 12);
    EXPECT_GT(systemVersion().major, 0);
}

TEST(SystemVersion, DistributionName)
{
    EXPECT_EQ(distributionName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nVERSION_ID=\"12\"\n"),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(distributionName("# a comment\nNAME=Arch\n"), "Arch");
    EXPECT_EQ(distributionName("NAME='Fedora Linux'\nVERSION=\"40 (Workstation \\\"Edition\\\")\""), "Fedora Linux 40 (Workstation \"Edition\")");
    EXPECT_EQ(distributionName("PRETTY_NAME=\nNAME=Gentoo"), "Gentoo") << "an empty PRETTY_NAME says nothing";
    EXPECT_EQ(distributionName("ID=debian\n"), "Linux");
    EXPECT_FALSE(runningDistribution().empty());
    EXPECT_FALSE(kernelRelease().empty());
}

TEST(SystemVersion, Bits)
{
    EXPECT_EQ(bitsOfMachine("x86_64"), 64);
    EXPECT_EQ(bitsOfMachine("aarch64"), 64);
    EXPECT_EQ(bitsOfMachine("ppc64le"), 64);
    EXPECT_EQ(bitsOfMachine("i686"), 32);
    EXPECT_EQ(bitsOfMachine("armv7l"), 32);
    EXPECT_EQ(systemBits(), sizeof(void*) == 8 ? 64 : 32);
}

TEST(Launcher, CommandLineWords)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine("sh -c 'echo hi'"), (Words { "sh", "-c", "echo hi" }));
    EXPECT_EQ(splitCommandLine(R"(a "b c" d\ e 'f"g')"), (Words { "a", "b c", "d e", "f\"g" }));
    EXPECT_EQ(splitCommandLine("  "), Words {});
    EXPECT_EQ(splitCommandLine("echo $HOME; ls"), (Words { "echo", "$HOME;", "ls" })); // nothing expanded or run
    EXPECT_EQ(splitCommandLine("a 'b"), std::nullopt);
}
