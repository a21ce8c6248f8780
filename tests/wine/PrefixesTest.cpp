// Finding the prefixes of a laid-out home: each source with its names, Steam's libraries through
// libraryfolders.vdf, roots and prefixes reached twice, and broken files that skip only themselves.
#include "wine/Prefixes.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;
using namespace tvn::wine;

namespace {

void makePrefix(const std::filesystem::path& folder, const std::string& arch)
{
    std::filesystem::create_directories(folder / "drive_c" / "windows");
    test::writeFile(folder / "system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n" + (arch.empty() ? "" : "#arch=" + arch + "\n") + "\n[Software] 1\n");
}

std::string describe(const WinePrefix& prefix, const std::filesystem::path& home)
{
    return prefix.source + "|" + prefix.name + "|" + prefix.arch + "|" + prefix.path.lexically_relative(home).string();
}

} // namespace

TEST(Prefixes, WhatMakesAPrefix)
{
    test::TempDir dir;
    makePrefix(dir / "p", "win64");
    EXPECT_TRUE(isPrefix(dir / "p"));
    EXPECT_EQ(prefixArch(dir / "p"), "win64");
    makePrefix(dir / "old", "");
    EXPECT_EQ(prefixArch(dir / "old"), "");
    std::filesystem::create_directories(dir / "nodrive");
    test::writeFile(dir / "nodrive" / "system.reg", "#arch=win32\n");
    EXPECT_FALSE(isPrefix(dir / "nodrive")); // no drive_c
    std::filesystem::create_directories(dir / "noreg" / "drive_c");
    EXPECT_FALSE(isPrefix(dir / "noreg"));
}

TEST(Prefixes, EverySourceOfAHome)
{
    test::TempDir dir;
    const auto home = dir / "home";
    makePrefix(home / ".wine", "win64");
    makePrefix(home / ".local" / "share" / "wineprefixes" / "game32", "win32");

    // Steam, reached by two links to one root, with a second library on another disk.
    const auto steam = home / ".local" / "share" / "Steam";
    const auto library = dir / "disk" / "SteamLibrary";
    std::filesystem::create_directories(home / ".steam");
    std::filesystem::create_directory_symlink(steam, home / ".steam" / "steam");
    std::filesystem::create_directories(steam / "steamapps");
    test::writeFile(steam / "steamapps" / "libraryfolders.vdf", "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam.string()
            + "\"\n\t}\n\t\"1\" // the second disk\n\t{\n\t\t\"path\"\t\t\"" + library.string() + "\"\n\t}\n}\n");
    makePrefix(steam / "steamapps" / "compatdata" / "228980" / "pfx", "win64");
    test::writeFile(steam / "steamapps" / "appmanifest_228980.acf", "\"AppState\"\n{\n\t\"appid\"\t\t\"228980\"\n\t\"name\"\t\t\"Steamworks Common Redistributables\"\n}\n");
    std::filesystem::create_directories(steam / "steamapps" / "compatdata" / "999"); // no pfx: not a prefix
    makePrefix(library / "steamapps" / "compatdata" / "570" / "pfx", "win64"); // no manifest
    // Flatpak Steam, whose library file is broken: its own prefixes are still found.
    const auto flatpak = home / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam";
    makePrefix(flatpak / "steamapps" / "compatdata" / "42" / "pfx", "win32");
    test::writeFile(flatpak / "steamapps" / "libraryfolders.vdf", "\"libraryfolders\" {");
    test::writeFile(flatpak / "steamapps" / "appmanifest_42.acf", "\"AppState\" { \"name\" ");

    // $WINEPREFIX names a Steam prefix through a link: listed once, as Steam's.
    std::filesystem::create_directory_symlink(steam / "steamapps" / "compatdata" / "228980" / "pfx", dir / "linked");
    const PrefixList found = findPrefixes({ home, (dir / "linked").string() });

    std::vector<std::string> listed;
    for (const WinePrefix& prefix : found.prefixes)
        listed.push_back(describe(prefix, dir.path()));
    EXPECT_EQ(listed, (std::vector<std::string> {
                          "steam|Steamworks Common Redistributables|win64|home/.local/share/Steam/steamapps/compatdata/228980/pfx",
                          "default|Wine|win64|home/.wine",
                          "winetricks|game32|win32|home/.local/share/wineprefixes/game32",
                          "steam|Steam app 570|win64|disk/SteamLibrary/steamapps/compatdata/570/pfx",
                          "steam|Steam app 42|win32|home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/compatdata/42/pfx",
                      }));
    EXPECT_EQ(found.problems, (std::vector<std::string> { "broken libraryfolders.vdf: " + (flatpak / "steamapps" / "libraryfolders.vdf").string(),
                                  "broken app manifest: " + (flatpak / "steamapps" / "appmanifest_42.acf").string() }));
}

// Steam's old library file lists paths as numbered values; an empty home has no prefix at all.
TEST(Prefixes, OldLibraryLayoutAndAnEmptyHome)
{
    test::TempDir dir;
    const auto root = dir / "Steam";
    std::filesystem::create_directories(root / "steamapps");
    std::filesystem::create_directories(dir / "second");
    test::writeFile(root / "steamapps" / "libraryfolders.vdf",
        "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1700000000\"\n\t\"1\"\t\t\"" + (dir / "second").string() + "\"\n\t\"2\"\t\t\"" + (dir / "gone").string() + "\"\n}\n");
    const SteamLibraries libraries = steamLibraries(root);
    EXPECT_EQ(libraries.folders, (std::vector<std::filesystem::path> { std::filesystem::canonical(root), std::filesystem::canonical(dir / "second") }));
    EXPECT_EQ(libraries.problem, "");
    EXPECT_TRUE(findPrefixes({ dir / "empty-home", "" }).prefixes.empty());
}
