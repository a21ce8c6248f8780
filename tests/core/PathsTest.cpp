// Each test runs in a process of its own (see tests/CMakeLists.txt), so changing the environment
// here touches no other test.
#include "core/GlobalConfig.h"
#include "core/Paths.h"

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace tvn;
using test::TempDir;

TEST(Paths, AppDataFollowsXdgThenHome)
{
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(appDataPath(), "/xdg/tvn");
    EXPECT_EQ(appDataPath("config.ini"), "/xdg/tvn/config.ini");

    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(appDataPath("logs"), "/home/u/.config/tvn/logs");

    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(appDataPath("config.ini"), "tvn/config.ini");
}

TEST(Paths, ModulePathIsTheRunningExecutable)
{
    EXPECT_EQ(modulePath().filename(), "tvn_unit_tests");
    setModulePath("/opt/tvn/tvn");
    EXPECT_EQ(modulePath(), "/opt/tvn/tvn");
}

TEST(Paths, ExpandEnvironment)
{
    setenv("TVN_TEST_VALUE", "v", 1);
    setenv("HOME", "/home/u", 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("APPDATA");
    EXPECT_EQ(expandEnvironment("a%TVN_TEST_VALUE%b"), "avb");
    EXPECT_EQ(expandEnvironment("%tvn_test_value%"), "v"); // names without regard to case
    EXPECT_EQ(expandEnvironment("%appdata%\\Lanthorn"), "/home/u/.config\\Lanthorn");
    EXPECT_EQ(expandEnvironment("%NO_SUCH_VARIABLE%/x"), "%NO_SUCH_VARIABLE%/x");
    EXPECT_EQ(expandEnvironment("100% and %%"), "100% and %%");
    EXPECT_EQ(expandEnvironment("%TVN_TEST_VALUE%%TVN_TEST_VALUE%"), "vv");

    setenv("APPDATA", "/explicit", 1);
    EXPECT_EQ(expandEnvironment("%APPDATA%"), "/explicit");
}

TEST(GlobalConfig, ReadsSectionAppOnce)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir / "tvn");
    test::writeFile(dir / "tvn" / "config.ini", "stray=1\n[app]\nloglevel = debug\ninst=tvbd_\xE4\xBD\xA0\n");

    const GlobalConfig& config = GlobalConfig::instance();
    EXPECT_EQ(&config, &GlobalConfig::instance());
    EXPECT_EQ(config.path(), dir / "tvn" / "config.ini");
    EXPECT_EQ(config.getString("loglevel", "Info"), "debug");
    EXPECT_EQ(config.getString("stray", "none"), "none"); // keys before any header are not in "app"
    EXPECT_EQ(config.getWString("inst", L""), L"tvbd_\u4f60");
    EXPECT_EQ(config.getWString("absent", L"d"), L"d");

    test::writeFile(dir / "tvn" / "config.ini", "[app]\nloglevel=error\n");
    EXPECT_EQ(GlobalConfig::instance().getString("loglevel", ""), "debug");
}

TEST(GlobalConfig, MissingFileGivesDefaults)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(GlobalConfig::instance().getString("loglevel", "Info"), "Info");
    EXPECT_NE(testing::internal::GetCapturedStdout().find("loading file failed: "), std::string::npos);
}
