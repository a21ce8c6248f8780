// Waiting for a prefix's wineserver: the one beside the prefix's wine, with WINEPREFIX set, and a
// wait that ends at its limit without leaving the waiting client behind.
#include "platform/Launcher.h"

#include "tests/support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tvn;

namespace {

void writeScript(const std::filesystem::path& path, const std::string& body)
{
    test::writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

} // namespace

TEST(Wineserver, IsTheOneBesideTheWineThatRunsThePrefix)
{
    EXPECT_EQ(platform::wineserverFor("wine"), "wineserver");
    EXPECT_EQ(platform::wineserverFor("/opt/Proton 9.0/files/bin/wine"), "/opt/Proton 9.0/files/bin/wineserver");
    EXPECT_EQ(platform::wineserverFor("bin/wine64"), "bin/wineserver");
}

TEST(Wineserver, WaitSaysWhetherTheServerEndedWithinTheLimit)
{
    test::TempDir dir;
    const std::filesystem::path wine = dir / "bin" / "wine";
    std::filesystem::create_directories(dir / "bin");
    writeScript(dir / "bin" / "wineserver", "printf '%s|%s' \"$WINEPREFIX\" \"$*\" > '" + (dir / "call").string() + "'\n");
    EXPECT_TRUE(platform::waitForWineserver(dir / "prefix", wine.string(), std::chrono::seconds(30)));
    EXPECT_EQ(test::readFile(dir / "call"), (dir / "prefix").string() + "|-w");

    writeScript(dir / "bin" / "wineserver", "exit 1\n");
    EXPECT_FALSE(platform::waitForWineserver(dir / "prefix", wine.string(), std::chrono::seconds(30)));
    EXPECT_FALSE(platform::waitForWineserver(dir / "prefix", (dir / "nowhere" / "wine").string(), std::chrono::seconds(30)));

    // A server that does not end: the wait gives up and the waiting client is gone, not left over.
    writeScript(dir / "bin" / "wineserver", "echo $$ > '" + (dir / "pid").string() + "'\nexec sleep 60\n");
    EXPECT_FALSE(platform::waitForWineserver(dir / "prefix", wine.string(), std::chrono::milliseconds(300)));
    const pid_t client = std::atoi(test::readFile(dir / "pid").c_str());
    ASSERT_GT(client, 0);
    EXPECT_NE(::kill(client, 0), 0);
}
