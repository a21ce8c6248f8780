// The Downloads folder as user-dirs.dirs names it, and a name a download takes there without
// replacing what the user keeps.
#include "platform/Downloads.h"
#include "tests/support/Environment.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn::platform;

TEST(Downloads, FolderFromUserDirs)
{
    const std::filesystem::path home = "/home/ann";
    const std::string file = "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOWNLOAD_DIR=\"$HOME/Téléchargements\"\n";
    EXPECT_EQ(downloadFolderFromUserDirs(file, home), home / "Téléchargements");
    EXPECT_EQ(downloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"/data/in \\\"box\\\"\"", home), "/data/in \"box\"");
    EXPECT_EQ(downloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"$HOME\"", home), home);
    // Forms the format does not have are no folder: relative, another variable, unclosed, unquoted.
    for (const char* wrong : { "XDG_DOWNLOAD_DIR=\"Downloads\"", "XDG_DOWNLOAD_DIR=\"$HOMEX/d\"", "XDG_DOWNLOAD_DIR=\"$XDG/d\"",
             "XDG_DOWNLOAD_DIR=\"/d", "XDG_DOWNLOAD_DIR=/d", "#XDG_DOWNLOAD_DIR=\"/d\"", "XDG_DESKTOP_DIR=\"/d\"" })
        EXPECT_EQ(downloadFolderFromUserDirs(wrong, home), std::nullopt) << wrong;
    // The last valid line wins; an invalid one after it changes nothing.
    EXPECT_EQ(downloadFolderFromUserDirs("XDG_DOWNLOAD_DIR=\"/a\"\nXDG_DOWNLOAD_DIR=\"/b\"\nXDG_DOWNLOAD_DIR=\"c\"\n", home), "/b");
}

TEST(Downloads, TheUsersFolderOrHome)
{
    tvn::test::TempDir dir;
    tvn::test::EnvironmentChange environment;
    environment.set("HOME", (dir.path() / "home").string());
    environment.set("XDG_CONFIG_HOME", (dir.path() / "config").string());
    EXPECT_EQ(userDownloadFolder(), dir.path() / "home") << "none configured: the home folder, as xdg-user-dir says";
    std::filesystem::create_directories(dir.path() / "config");
    tvn::test::writeFile(dir.path() / "config" / "user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
    EXPECT_EQ(userDownloadFolder(), dir.path() / "home" / "Downloads");
}

TEST(Downloads, AFreeNameNeverReplacesAFile)
{
    tvn::test::TempDir dir;
    const auto folder = dir.path();
    EXPECT_EQ(freeFileName(folder, "setup.exe"), folder / "setup.exe");
    tvn::test::writeFile(folder / "setup.exe", "the user's");
    EXPECT_EQ(freeFileName(folder, "setup.exe"), folder / "setup (1).exe");
    tvn::test::writeFile(folder / "setup (1).exe", "");
    std::filesystem::create_symlink("nowhere", folder / "setup (2).exe"); // a dangling link is taken too
    EXPECT_EQ(freeFileName(folder, "setup.exe"), folder / "setup (3).exe");
    tvn::test::writeFile(folder / "README", "");
    EXPECT_EQ(freeFileName(folder, "README"), folder / "README (1)");
}
