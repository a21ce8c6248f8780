// Finding the prefixes of a laid-out home: each source with its names, Steam's libraries through
// libraryfolders.vdf, roots and prefixes reached twice, and broken files that skip only themselves.
#include "wine/Prefixes.h"

#include "tests/support/TempDir.h"
#include "tests/support/WinePrefix.h"
#include "wine/Bottles.h"
#include "wine/Lutris.h"
#include "wine/Steam.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace tvn;
using namespace tvn::wine;

namespace {


std::string describe(const WinePrefix& prefix, const std::filesystem::path& home)
{
    return prefix.source + "|" + prefix.name + "|" + prefix.arch + "|" + prefix.path.lexically_relative(home).string();
}

// A file, its folders made first.
void writeAt(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    test::writeFile(path, bytes);
}

// A program file that can be run (its content does not matter here).
void makeProgram(const std::filesystem::path& path)
{
    writeAt(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), 0755);
}

void runSql(const std::filesystem::path& database, const std::string& sql)
{
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
}

} // namespace

TEST(Prefixes, WhatMakesAPrefix)
{
    test::TempDir dir;
    test::makeWinePrefix(dir / "p", "win64");
    EXPECT_TRUE(isPrefix(dir / "p"));
    EXPECT_EQ(prefixArch(dir / "p"), "win64");
    test::makeWinePrefix(dir / "old", "");
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
    test::makeWinePrefix(home / ".wine", "win64");
    test::makeWinePrefix(home / ".local" / "share" / "wineprefixes" / "game32", "win32");

    // Steam, reached by two links to one root, with a second library on another disk.
    const auto steam = home / ".local" / "share" / "Steam";
    const auto library = dir / "disk" / "SteamLibrary";
    std::filesystem::create_directories(home / ".steam");
    std::filesystem::create_directory_symlink(steam, home / ".steam" / "steam");
    std::filesystem::create_directories(steam / "steamapps");
    test::writeFile(steam / "steamapps" / "libraryfolders.vdf", "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam.string()
            + "\"\n\t}\n\t\"1\" // the second disk\n\t{\n\t\t\"path\"\t\t\"" + library.string() + "\"\n\t}\n}\n");
    test::makeWinePrefix(steam / "steamapps" / "compatdata" / "228980" / "pfx", "win64");
    test::writeFile(steam / "steamapps" / "appmanifest_228980.acf", "\"AppState\"\n{\n\t\"appid\"\t\t\"228980\"\n\t\"name\"\t\t\"Steamworks Common Redistributables\"\n}\n");
    std::filesystem::create_directories(steam / "steamapps" / "compatdata" / "999"); // no pfx: not a prefix
    test::makeWinePrefix(library / "steamapps" / "compatdata" / "570" / "pfx", "win64"); // no manifest
    // Flatpak Steam, whose library file is broken: its own prefixes are still found.
    const auto flatpak = home / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam";
    test::makeWinePrefix(flatpak / "steamapps" / "compatdata" / "42" / "pfx", "win32");
    test::writeFile(flatpak / "steamapps" / "libraryfolders.vdf", "\"libraryfolders\" {");
    test::writeFile(flatpak / "steamapps" / "appmanifest_42.acf", "\"AppState\" { \"name\" ");

    // $WINEPREFIX names a Steam prefix through a link: listed once, as Steam's.
    std::filesystem::create_directory_symlink(steam / "steamapps" / "compatdata" / "228980" / "pfx", dir / "linked");
    const PrefixList found = findPrefixes({ home, (dir / "linked").string(), "", "" });

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
    EXPECT_TRUE(findPrefixes({ dir / "empty-home", "", "", "" }).prefixes.empty());
}

// Bottles (native and Flatpak) and Lutris, each prefix with its name and the wine that runs it.
TEST(Prefixes, BottlesAndLutrisWithTheirWines)
{
    test::TempDir dir;
    const auto home = dir / "home";
    makeProgram(dir / "bin" / "wine");
    const auto bottles = home / ".local" / "share" / "bottles";
    test::makeWinePrefix(bottles / "bottles" / "Games", "win64");
    writeAt(bottles / "bottles" / "Games" / "bottle.yml", "Name: My Games\nArch: win64\nRunner: soda-7.0-9\nEnvironment: Gaming\n");
    makeProgram(bottles / "runners" / "soda-7.0-9" / "bin" / "wine");
    test::makeWinePrefix(bottles / "bottles" / "Office", "win32");
    writeAt(bottles / "bottles" / "Office" / "bottle.yml", "Name: Office\nRunner: sys-wine-9.0\n");
    test::makeWinePrefix(bottles / "bottles" / "Broken", "");
    writeAt(bottles / "bottles" / "Broken" / "bottle.yml", "Name: [unclosed\n");
    const auto flatpak = home / ".var" / "app" / "com.usebottles.bottles" / "data" / "bottles";
    test::makeWinePrefix(flatpak / "bottles" / "Flat", "win64"); // no bottle.yml: the folder's name
    writeAt(flatpak / "bottles" / "Flat" / "bottle.yml", "Name: Flat One\nRunner: missing-runner\n");

    const auto lutris = home / ".local" / "share" / "lutris";
    test::makeWinePrefix(home / "Games" / "witcher", "win64");
    writeAt(home / ".config" / "lutris" / "games" / "the-witcher-3-1690000000.yml",
        "game:\n  exe: /home/u/Games/witcher/drive_c/w3.exe\n  prefix: ~/Games/witcher\nsystem: {}\nwine:\n  version: lutris-GE-Proton8-26-x86_64\n");
    makeProgram(lutris / "runners" / "wine" / "lutris-GE-Proton8-26-x86_64" / "bin" / "wine");
    test::makeWinePrefix(dir / "elsewhere" / "unnamed", "win32");
    writeAt(lutris / "games" / "unnamed-1.yml", "game:\n  prefix: " + (dir / "elsewhere" / "unnamed").string() + "\n");
    writeAt(lutris / "games" / "native-game.yml", "game:\n  exe: /usr/bin/true\n"); // no prefix: not listed
    writeAt(lutris / "games" / "bad.yml", "game: [\n");
    std::filesystem::create_directories(lutris);
    runSql(lutris / "pga.db", "CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, slug TEXT, configpath TEXT);"
                              "INSERT INTO games (name, slug, configpath) VALUES ('The Witcher 3', 'the-witcher-3', 'the-witcher-3-1690000000');");

    const PrefixList found = findPrefixes({ home, "", "", "/relative:" + (dir / "nowine").string() + ":" + (dir / "bin").string() });
    std::vector<std::string> listed;
    for (const WinePrefix& prefix : found.prefixes)
        listed.push_back(describe(prefix, dir.path()) + "|" + prefix.wine.lexically_relative(dir.path()).string());
    EXPECT_EQ(listed, (std::vector<std::string> {
                          "bottles|Broken||home/.local/share/bottles/bottles/Broken|bin/wine",
                          "bottles|My Games|win64|home/.local/share/bottles/bottles/Games|home/.local/share/bottles/runners/soda-7.0-9/bin/wine",
                          "bottles|Office|win32|home/.local/share/bottles/bottles/Office|bin/wine",
                          "bottles|Flat One|win64|home/.var/app/com.usebottles.bottles/data/bottles/bottles/Flat|bin/wine",
                          "lutris|The Witcher 3|win64|home/Games/witcher|home/.local/share/lutris/runners/wine/lutris-GE-Proton8-26-x86_64/bin/wine",
                          "lutris|unnamed-1|win32|elsewhere/unnamed|bin/wine",
                      }));
    EXPECT_EQ(found.problems, (std::vector<std::string> { "broken bottle.yml: " + (bottles / "bottles" / "Broken" / "bottle.yml").string(),
                                  "broken Lutris game file: " + (lutris / "games" / "bad.yml").string() }));

    // A database Lutris holds locked: the games by their files' names, and a problem said.
    {
        sqlite3* writer = nullptr;
        ASSERT_EQ(sqlite3_open((lutris / "pga.db").c_str(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const PrefixList locked = findPrefixes({ home, "", "", "" });
        sqlite3_close(writer);
        ASSERT_EQ(locked.prefixes.size(), 6u);
        EXPECT_EQ(locked.prefixes[4].name, "the-witcher-3-1690000000");
        EXPECT_EQ(std::count(locked.problems.begin(), locked.problems.end(), "unreadable pga.db: " + (lutris / "pga.db").string()), 1);
    }
    // A damaged database names the games by their files, and says so once.
    writeAt(lutris / "pga.db", std::string(4096, 'x'));
    const PrefixList damaged = findPrefixes({ home, "", "", "" });
    ASSERT_EQ(damaged.prefixes.size(), 6u);
    EXPECT_EQ(damaged.prefixes[4].name, "the-witcher-3-1690000000");
    EXPECT_EQ(std::count(damaged.problems.begin(), damaged.problems.end(), "unreadable pga.db: " + (lutris / "pga.db").string()), 1);
    EXPECT_TRUE(damaged.prefixes[0].wine.empty()); // no wine on an empty PATH
}

// A Proton prefix runs under the build that made it; the chosen prefix and one found nowhere.
TEST(Prefixes, ProtonWineAndTheChosenPrefix)
{
    test::TempDir dir;
    const auto home = dir / "home";
    const auto steam = home / ".local" / "share" / "Steam";
    const auto proton = steam / "steamapps" / "common" / "Proton 9.0 (files)";
    makeProgram(proton / "files" / "bin" / "wine");
    const auto compat = steam / "steamapps" / "compatdata";
    test::makeWinePrefix(compat / "10" / "pfx", "win64");
    writeAt(compat / "10" / "config_info", "9.0-203\n" + (proton / "files" / "share" / "fonts").string() + "/\n" + (proton / "files" / "lib").string() + "/\n");
    // An older build keeps its files in dist/.
    const auto old = steam / "steamapps" / "common" / "Proton 5.0";
    makeProgram(old / "dist" / "bin" / "wine");
    test::makeWinePrefix(compat / "20" / "pfx", "win64");
    writeAt(compat / "20" / "config_info", "5.0-10\n" + (old / "dist" / "share" / "fonts").string() + "/\n");
    // A build that is gone: the system's wine.
    test::makeWinePrefix(compat / "30" / "pfx", "win64");
    writeAt(compat / "30" / "config_info", "7.0-1\n/gone/Proton 7.0/files/share/fonts/\n");
    makeProgram(dir / "bin" / "wine");

    test::makeWinePrefix(dir / "mine", "win32");
    const PrefixSearch search { home, "", (dir / "mine").string(), (dir / "bin").string() };
    const PrefixList found = findPrefixes(search);
    ASSERT_EQ(found.prefixes.size(), 4u);
    EXPECT_EQ(describe(found.prefixes[0], dir.path()), "chosen|mine|win32|mine");
    EXPECT_EQ(found.prefixes[0].wine, dir / "bin" / "wine");
    EXPECT_EQ(found.prefixes[1].wine, proton / "files" / "bin" / "wine");
    EXPECT_EQ(found.prefixes[2].wine, old / "dist" / "bin" / "wine");
    EXPECT_EQ(found.prefixes[3].wine, dir / "bin" / "wine");

    // The chosen prefix is a Steam one: listed once, as Steam's, with Proton's wine.
    const PrefixList steamChosen = findPrefixes({ home, "", (compat / "10" / "pfx").string(), "" });
    ASSERT_EQ(steamChosen.prefixes.size(), 3u);
    EXPECT_EQ(describePrefix(compat / "10" / "pfx/", steamChosen, search).source, "steam");
    // One found nowhere is described from its own files.
    test::makeWinePrefix(dir / "loose", "win64");
    const WinePrefix loose = describePrefix(dir / "loose", steamChosen, search);
    EXPECT_EQ(describe(loose, dir.path()) + "|" + loose.wine.string(), "chosen|loose|win64|loose|" + (dir / "bin" / "wine").string());
    // "none" chooses nothing; a wine that cannot be run is not one.
    EXPECT_EQ(findPrefixes({ home, "", "none", "" }).prefixes.size(), 3u);
    writeAt(dir / "plain" / "wine", "not a program");
    EXPECT_EQ(wineOnPath((dir / "plain").string()), "");

    // The version line alone names no folder, even when it looks like one.
    writeAt(compat / "30" / "config_info", (proton / "files").string() + "/\n");
    const PrefixList steamOnly = steamPrefixes(home);
    ASSERT_EQ(steamOnly.prefixes.size(), 3u);
    EXPECT_EQ(steamOnly.prefixes[2].path, compat / "30" / "pfx");
    EXPECT_EQ(steamOnly.prefixes[2].wine, "");
}

TEST(Prefixes, BottleAndLutrisFilesAlone)
{
    EXPECT_FALSE(parseBottleFile("- a list\n- not a map\n"));
    EXPECT_FALSE(parseBottleFile("Name: {a: 1\n"));
    const auto bottle = parseBottleFile("Name:\n  nested: map\nRunner: kron4ek-9.0\n");
    ASSERT_TRUE(bottle);
    EXPECT_EQ(bottle->name, ""); // a mapping is no name
    EXPECT_EQ(bottle->runner, "kron4ek-9.0");
    const auto game = parseLutrisGameFile("game: just text\nwine: {version: wine-ge-8-26}\n");
    ASSERT_TRUE(game);
    EXPECT_EQ(game->prefix, "");
    EXPECT_EQ(game->wineVersion, "wine-ge-8-26");
    EXPECT_FALSE(parseLutrisGameFile(""));
}
