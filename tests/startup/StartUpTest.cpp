#include "startup/StartUp.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;
using test::TempDir;

TEST(StartUp, BdVidFromInst)
{
    EXPECT_EQ(bdVidFromInst("tvbd_12345"), "12345");
    EXPECT_EQ(bdVidFromInst("tvbd_12345_x"), "12345");
    EXPECT_EQ(bdVidFromInst("tvbd__x"), "");
    EXPECT_EQ(bdVidFromInst("TVBD_12345"), "");
    EXPECT_EQ(bdVidFromInst("tvbd"), "");
    EXPECT_EQ(bdVidFromInst("xtvbd_1"), "");
    EXPECT_EQ(bdVidFromInst(""), "");
}

TEST(StartUp, Scene)
{
    auto event = parseScene("install_ok,a,b,c,d");
    EXPECT_EQ(event.name, "install_ok");
    EXPECT_EQ(event.parameters, (std::array<std::string, 3> { "a", "b", "c" }));

    event = parseScene("only");
    EXPECT_EQ(event.name, "only");
    EXPECT_EQ(event.parameters, (std::array<std::string, 3> {}));

    event = parseScene(",x,");
    EXPECT_EQ(event.name, "");
    EXPECT_EQ(event.parameters, (std::array<std::string, 3> { "x", "", "" }));
    EXPECT_EQ(parseScene("").name, "");
}

TEST(StartUp, SingleInstanceNameIgnoresLetterCase)
{
    // The MD5 of "/opt/tvn/tvn".
    const std::string name = singleInstanceName("/opt/tvn/tvn");
    EXPECT_EQ(name, "LANTHORN_MUTEX_b67ba5cd672dfb2be6aed344fa9b56b2");
    EXPECT_EQ(singleInstanceName("/OPT/Tvn/TVN"), name);
    EXPECT_NE(singleInstanceName("/opt/tvn2/tvn"), name);
}

// The build writes the channel id; objcopy can change it afterwards, even to another length.
TEST(StartUp, ChannelIdFromTheExecutable)
{
    EXPECT_EQ(readChannelId(TVN_EXECUTABLE), "tvn_x01_01");

    TempDir dir;
    std::filesystem::copy_file(TVN_EXECUTABLE, dir / "tvn");
    test::writeFile(dir / "id", "tvn_x02_0042");
    const std::string command = std::string(TVN_OBJCOPY) + " --update-section " TVN_CHANNEL_SECTION "="
        + (dir / "id").string() + " " + (dir / "tvn").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readChannelId(dir / "tvn"), "tvn_x02_0042");

    EXPECT_EQ(readChannelId(dir / "id"), ""); // not an executable
    EXPECT_EQ(readChannelId(dir / "absent"), "");
}
