// The prefix search over a busy home: 500 Steam prefixes in 3 libraries (each with its manifest
// and Proton's config_info), 30 bottles and 30 Lutris games with their pga.db, warm in the page
// cache, as the wine module answers prefixes() (the list made into the page's JSON). The goal:
// under 50 ms; the ratio against find(1) listing the same home tells the walk's own cost.

#include "bench/Ratios.h"
#include "modules/ModuleWine.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fstream>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void write(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

void makePrefix(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder / "drive_c" / "windows" / "system32");
    write(folder / "system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n[Software] 1\n");
}

// The home, made once per run and removed at exit.
const std::filesystem::path& home()
{
    static const struct Home {
        std::filesystem::path root = std::filesystem::temp_directory_path() / ("tvn-prefixes-bench-" + std::to_string(::getpid()));
        Home()
        {
            const auto steam = root / ".local" / "share" / "Steam";
            std::string libraries = "\"libraryfolders\"\n{\n";
            for (int library = 0; library < 3; ++library) {
                const auto folder = library == 0 ? steam : root / ("library" + std::to_string(library));
                libraries += "\t\"" + std::to_string(library) + "\"\n\t{\n\t\t\"path\"\t\t\"" + folder.string() + "\"\n\t}\n";
                for (int app = library; app < 500; app += 3) {
                    const std::string id = std::to_string(1000 + app);
                    const auto compat = folder / "steamapps" / "compatdata" / id;
                    makePrefix(compat / "pfx");
                    write(compat / "config_info", "9.0-1\n" + (steam / "steamapps" / "common" / "Proton 9.0" / "files" / "share" / "fonts").string() + "/\n");
                    write(folder / "steamapps" / ("appmanifest_" + id + ".acf"), "\"AppState\"\n{\n\t\"appid\"\t\t\"" + id + "\"\n\t\"name\"\t\t\"Game " + id + "\"\n}\n");
                }
            }
            write(steam / "steamapps" / "libraryfolders.vdf", libraries + "}\n");
            write(steam / "steamapps" / "common" / "Proton 9.0" / "files" / "bin" / "wine", "#!/bin/sh\n");
            ::chmod((steam / "steamapps" / "common" / "Proton 9.0" / "files" / "bin" / "wine").c_str(), 0755);
            std::string sql = "CREATE TABLE games (id INTEGER PRIMARY KEY, name TEXT, configpath TEXT);";
            for (int i = 0; i < 30; ++i) {
                const auto bottle = root / ".local" / "share" / "bottles" / "bottles" / ("bottle" + std::to_string(i));
                makePrefix(bottle);
                write(bottle / "bottle.yml", "Name: Bottle " + std::to_string(i) + "\nArch: win64\nRunner: soda-7.0-9\nEnvironment: Gaming\n");
                const auto game = root / "Games" / ("game" + std::to_string(i));
                makePrefix(game);
                write(root / ".config" / "lutris" / "games" / ("game" + std::to_string(i) + "-1.yml"),
                    "game:\n  exe: " + game.string() + "/drive_c/game.exe\n  prefix: " + game.string() + "\nwine:\n  version: lutris-7.2\n");
                sql += "INSERT INTO games (name, configpath) VALUES ('Game " + std::to_string(i) + "', 'game" + std::to_string(i) + "-1');";
            }
            std::filesystem::create_directories(root / ".local" / "share" / "lutris");
            sqlite3* database = nullptr;
            sqlite3_open((root / ".local" / "share" / "lutris" / "pga.db").c_str(), &database);
            sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr);
            sqlite3_close(database);
        }
        ~Home() { std::filesystem::remove_all(root); }
    } made;
    return made.root;
}

void prefixes(benchmark::State& state)
{
    const tvn::wine::PrefixSearch search { home(), "", "", "/usr/bin:/bin" };
    size_t found = 0;
    for (auto _ : state) {
        const tvn::wine::PrefixList list = tvn::wine::findPrefixes(search);
        nlohmann::json answer = nlohmann::json::array();
        for (const tvn::wine::WinePrefix& prefix : list.prefixes)
            answer.push_back(tvn::prefixJson(prefix));
        found = answer.size();
        benchmark::DoNotOptimize(answer);
    }
    if (found != 560)
        state.SkipWithError(("found " + std::to_string(found) + " prefixes, not 560").c_str());
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void findHome(benchmark::State& state)
{
    const std::string command = "find '" + home().string() + "' -maxdepth 8 > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(prefixes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(findHome)->Unit(benchmark::kMillisecond)->UseRealTime();
TVN_BENCH_RATIO("prefixes() over 560 prefixes, time / find over the same home", "findHome", "prefixes", "runs_per_second");
