// Windows paths through a drive table (both separators, case-insensitive components, ".." at a
// drive's root, a drive linked to "/"), the choice of a Wine prefix, and Wine's registry text.
#include "wine/DriveMap.h"
#include "wine/WineRegistry.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tvn;
using namespace tvn::wine;

TEST(DriveMap, WindowsPathsThroughAPrefix)
{
    test::TempDir prefix;
    std::filesystem::create_directories(prefix / "drive_c" / "windows" / "system32");
    test::writeFile(prefix / "drive_c" / "windows" / "system32" / "msvcp140.dll", "x");
    std::filesystem::create_directories(prefix / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    std::filesystem::create_directory_symlink("/", prefix / "dosdevices" / "z:");
    std::filesystem::create_directory_symlink("/no/such/folder", prefix / "dosdevices" / "d:");
    const DriveTable table = prefixDriveTable(prefix.path());
    EXPECT_EQ(table.drives.size(), 2u); // d: leads nowhere
    const std::filesystem::path system32 = prefix / "drive_c" / "windows" / "system32";

    EXPECT_EQ(nativePath("C:\\Windows\\System32\\MSVCP140.dll", table), system32 / "msvcp140.dll");
    EXPECT_EQ(nativePath("c:/windows/SYSTEM32/new File.dll", table), system32 / "new File.dll"); // a new file keeps its spelling
    EXPECT_EQ(nativePath("C:\\Windows\\System32\\", table), system32 / ""); // a folder stays one
    EXPECT_EQ(nativePath("C:\\..\\..\\Windows\\.\\System32", table), system32); // never above the root
    EXPECT_EQ(nativePath("C:\\..\\Windows\\System32", table), system32); // one step up at the root stays there
    EXPECT_EQ(nativePath("C:\\Windows\\..\\Windows\\System32", table), system32); // one step up below it climbs
    EXPECT_EQ(nativePath("z:\\etc\\hostname", table), std::filesystem::path("/etc/hostname"));
    EXPECT_EQ(nativePath("D:\\x", table), std::nullopt);
    EXPECT_EQ(nativePath("/usr/lib/x.so", table), std::filesystem::path("/usr/lib/x.so"));
    EXPECT_EQ(nativePath("relative\\name", table), std::filesystem::path("relative\\name"));
    EXPECT_TRUE(isWindowsPath("c:"));
    EXPECT_FALSE(isWindowsPath("1:\\x"));

    EXPECT_EQ(defaultDriveTable("/data/tvn").drives.at('c'), std::filesystem::path("/data/tvn/drive_c"));
}

TEST(DriveMap, WhichPrefix)
{
    test::TempDir home;
    EXPECT_EQ(chooseWinePrefix("", "", home.path()), std::nullopt);
    std::filesystem::create_directories(home / ".wine" / "drive_c");
    EXPECT_EQ(chooseWinePrefix("", "", home.path()), home / ".wine");
    EXPECT_EQ(chooseWinePrefix("", "/p/env", home.path()), std::filesystem::path("/p/env"));
    EXPECT_EQ(chooseWinePrefix("/p/config", "/p/env", home.path()), std::filesystem::path("/p/config"));
    EXPECT_EQ(chooseWinePrefix("none", "/p/env", home.path()), std::nullopt);
}

TEST(WineRegistry, UninstallEntries)
{
    const std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
                             "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\{ABC}] 1700000000\n"
                             "#time=1d9\n"
                             "\"DisplayName\"=\"Runtime \\\"2019\\\" x64 \\x4e2d\\\\14.28\"\n"
                             "\"DisplayVersion\"=str(2):\"14.28\"\n"
                             "\"EstimatedSize\"=dword:0000000a\n"
                             "@=\"default\"\n\n"
                             "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Old] 1700000000\n"
                             "\"DisplayName\"=hex(2):4f,00,6c,00,64,00,20,00,\\\n  33,00,32,00,00,00\n\n"
                             "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\NoName] 1700000000\n"
                             "\"Publisher\"=\"x\"\n\n"
                             "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Cut] 1700000000\n"
                             "\"DisplayName\"=\"Never closed";
    const WineRegistryKeys keys = parseWineRegistry(text);
    const auto& first = keys.at("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{ABC}");
    EXPECT_EQ(first.at("DisplayName"), "Runtime \"2019\" x64 中\\14.28");
    EXPECT_EQ(first.at("DisplayVersion"), "14.28");
    EXPECT_EQ(first.at(""), "default");
    EXPECT_EQ(first.count("EstimatedSize"), 0u); // not a string
    EXPECT_EQ(uninstallDisplayNames(keys), (std::vector<std::string> { "Runtime \"2019\" x64 中\\14.28", "Old 32" }));

    // A file cut inside a key's header keeps what came before it.
    const std::string cut = text.substr(0, text.find("[Software\\\\Wow6432Node") + 20);
    EXPECT_EQ(uninstallDisplayNames(parseWineRegistry(cut)), std::vector<std::string> { "Runtime \"2019\" x64 中\\14.28" });
    EXPECT_TRUE(parseWineRegistry("").empty());

    test::TempDir prefix;
    test::writeFile(prefix / "system.reg", text);
    test::writeFile(prefix / "user.reg", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Mine] 1\n\"DisplayName\"=\"Just mine\"\n");
    EXPECT_EQ(prefixInstalledPrograms(prefix.path()), (std::vector<std::string> { "Runtime \"2019\" x64 中\\14.28", "Old 32", "Just mine" }));
}

// Wine writes UTF-16 code units: a character beyond the BMP is a pair of escapes, decoded as one; a
// surrogate without its partner is U+FFFD, and what follows it is kept.
TEST(WineRegistry, SurrogatePairs)
{
    const auto name = [](const std::string& quoted) {
        const std::string text = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\G] 1\n\"DisplayName\"=\"" + quoted + "\"\n";
        const auto names = uninstallDisplayNames(parseWineRegistry(text));
        return names.empty() ? std::string("(none)") : names[0];
    };
    EXPECT_EQ(name("Game \\xd83d\\xde00 Edition"), "Game \U0001F600 Edition");
    EXPECT_EQ(name("\\xD83D\\xDE00"), "\U0001F600"); // either case
    EXPECT_EQ(name("a\\xd83d b"), "a\uFFFD b");          // a high one alone
    EXPECT_EQ(name("a\\xde00b"), "a\uFFFDb");            // a low one alone
    EXPECT_EQ(name("\\xd83d\\xd83d\\xde00"), "\uFFFD\U0001F600"); // two highs: the second pairs
    EXPECT_EQ(name("\\xd83d\\x41"), "\uFFFDA");        // a high one before a plain escape
}

// Wine replaces its registry files by renaming a new one in: a read while that goes on sees the old
// list or the new one, never a mixture.
TEST(WineRegistry, FileBeingRewritten)
{
    test::TempDir prefix;
    const auto file = [](const std::string& name) {
        return "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + name + "] 1\n\"DisplayName\"=\"" + name + "\"\n";
    };
    test::writeFile(prefix / "system.reg", file("Old"));
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) {
            test::writeFile(prefix / "system.reg.new", file(i % 2 ? "Old" : "New"));
            std::filesystem::rename(prefix / "system.reg.new", prefix / "system.reg");
        }
        done = true;
    });
    while (!done) {
        const std::vector<std::string> names = prefixInstalledPrograms(prefix.path());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_TRUE(names[0] == "Old" || names[0] == "New") << names[0];
    }
    writer.join();
}
