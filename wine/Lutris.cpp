// Reading Lutris' game files and its library database, and finding its games' prefixes.

#include "wine/Lutris.h"

#include "wine/Folders.h"
#include "wine/YamlMapping.h"

#include <memory>
#include <sqlite3.h>

namespace tvn::wine {

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* database) const noexcept { sqlite3_close(database); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

} // namespace

std::optional<LutrisGameFile> parseLutrisGameFile(std::string_view text)
{
    const std::optional<YAML::Node> root = yamlMapping(text);
    if (!root)
        return std::nullopt;
    const YAML::Node& map = *root;
    LutrisGameFile game;
    if (const YAML::Node section = map["game"]; section && section.IsMap())
        game.prefix = yamlScalar(section["prefix"]);
    if (const YAML::Node section = map["wine"]; section && section.IsMap())
        game.wineVersion = yamlScalar(section["version"]);
    return game;
}

LutrisNames lutrisGameNames(const std::filesystem::path& database)
{
    LutrisNames names;
    std::error_code error;
    if (!std::filesystem::exists(database, error))
        return names;
    const auto fail = [&] {
        names.byConfigPath.clear();
        names.problem = "unreadable pga.db: " + database.string();
        return names;
    };
    sqlite3* opened = nullptr;
    const int status = sqlite3_open_v2(database.c_str(), &opened, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const Database handle(opened);
    if (status != SQLITE_OK)
        return fail();
    // Lutris may be writing: wait a moment for its lock, never long.
    sqlite3_busy_timeout(handle.get(), 200);
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(handle.get(), "SELECT configpath, name FROM games", -1, &prepared, nullptr) != SQLITE_OK)
        return fail();
    const Statement statement(prepared);
    int step;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        std::string configPath = columnText(statement.get(), 0);
        std::string name = columnText(statement.get(), 1);
        if (!configPath.empty() && !name.empty())
            names.byConfigPath.emplace(std::move(configPath), std::move(name));
    }
    if (step != SQLITE_DONE)
        return fail();
    return names;
}

PrefixList lutrisPrefixes(const std::filesystem::path& home)
{
    PrefixList list;
    const std::filesystem::path data = home / ".local" / "share" / "lutris";
    std::optional<LutrisNames> names; // read once, when a game needs a name
    for (const auto& folder : { home / ".config" / "lutris" / "games", data / "games" }) {
        for (const auto& file : filesEndingIn(folder, ".yml")) {
            const auto game = parseLutrisGameFile(readText(file));
            if (!game) {
                list.problems.push_back("broken Lutris game file: " + file.string());
                continue;
            }
            std::filesystem::path path = game->prefix;
            if (game->prefix == "~" || game->prefix.starts_with("~/"))
                path = home / game->prefix.substr(std::min<size_t>(2, game->prefix.size()));
            if (game->prefix.empty() || !path.is_absolute() || !isPrefix(path))
                continue;
            if (!names) {
                names = lutrisGameNames(data / "pga.db");
                if (!names->problem.empty())
                    list.problems.push_back(names->problem);
            }
            const std::string stem = file.stem().string();
            const auto named = names->byConfigPath.find(stem);
            WinePrefix prefix { path, named != names->byConfigPath.end() ? named->second : stem, "lutris", {}, {} };
            const std::filesystem::path wine = data / "runners" / "wine" / game->wineVersion / "bin" / "wine";
            if (!game->wineVersion.empty() && game->wineVersion.find('/') == std::string::npos && isExecutableFile(wine))
                prefix.wine = wine;
            list.prefixes.push_back(std::move(prefix));
        }
    }
    return list;
}

} // namespace tvn::wine
