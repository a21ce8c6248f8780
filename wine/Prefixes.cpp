// Finding Wine prefixes.

#include "wine/Prefixes.h"

#include "util/Strings.h"
#include "wine/Bottles.h"
#include "wine/Lutris.h"
#include "wine/Vdf.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

namespace tvn::wine {

namespace {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

std::optional<std::filesystem::path> realPath(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error)
        return std::nullopt;
    return real;
}

// The last component of a folder's path, which names it ("/a/b/" -> "b").
std::string folderName(const std::filesystem::path& folder)
{
    const std::filesystem::path normal = folder.lexically_normal();
    return (normal.has_filename() ? normal : normal.parent_path()).filename().string();
}

// The folders inside `folder`, sorted by name; none when it cannot be listed.
std::vector<std::filesystem::path> subfolders(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        if (entry->is_directory(error))
            found.push_back(entry->path());
    std::sort(found.begin(), found.end());
    return found;
}

// How specific a source is: a tool's own prefix names what it is for; the general ones do not.
int specificity(const std::string& source)
{
    if (source == "steam" || source == "bottles" || source == "lutris")
        return 4;
    if (source == "winetricks")
        return 3;
    if (source == "default")
        return 2;
    if (source == "chosen")
        return 1;
    return 0; // environment
}

bool isExecutableFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

// The files of `folder` whose names end in `extension`, sorted by name.
std::vector<std::filesystem::path> filesEndingIn(const std::filesystem::path& folder, std::string_view extension)
{
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        if (entry->path().extension() == extension && entry->is_regular_file(error))
            found.push_back(entry->path());
    std::sort(found.begin(), found.end());
    return found;
}

// The name Steam gives an app: its manifest's "name" in the library, else "Steam app <id>".
std::string steamAppName(const std::filesystem::path& library, const std::string& appId, PrefixList& list)
{
    const std::filesystem::path path = library / "steamapps" / ("appmanifest_" + appId + ".acf");
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return "Steam app " + appId;
    const auto manifest = parseVdf(readText(path));
    const VdfNode* state = manifest ? manifest->find("AppState") : nullptr;
    if (const auto name = state ? state->text("name") : std::nullopt; name && !name->empty())
        return *name;
    list.problems.push_back("broken app manifest: " + path.string());
    return "Steam app " + appId;
}

void addSteamPrefixes(const std::filesystem::path& home, PrefixList& list)
{
    for (const auto& root : steamRoots(home)) {
        const SteamLibraries libraries = steamLibraries(root);
        if (!libraries.problem.empty())
            list.problems.push_back(libraries.problem);
        for (const auto& library : libraries.folders)
            for (const auto& app : subfolders(library / "steamapps" / "compatdata"))
                if (isPrefix(app / "pfx"))
                    list.prefixes.push_back({ app / "pfx", steamAppName(library, app.filename().string(), list), "steam", {}, protonWine(app) });
    }
}

// Bottles keeps its bottles and its runners side by side in one data folder (two with Flatpak).
void addBottles(const std::filesystem::path& home, PrefixList& list)
{
    for (const auto& data : { home / ".local" / "share" / "bottles", home / ".var" / "app" / "com.usebottles.bottles" / "data" / "bottles" }) {
        for (const auto& bottle : subfolders(data / "bottles")) {
            if (!isPrefix(bottle))
                continue;
            WinePrefix prefix { bottle, bottle.filename().string(), "bottles", {}, {} };
            const std::filesystem::path file = bottle / "bottle.yml";
            std::error_code error;
            if (std::filesystem::exists(file, error)) {
                if (const auto config = parseBottleFile(readText(file))) {
                    if (!config->name.empty())
                        prefix.name = config->name;
                    // "sys-..." is the system's wine, which the PATH rule finds.
                    if (!config->runner.empty() && !config->runner.starts_with("sys-")
                        && config->runner.find('/') == std::string::npos && isExecutableFile(data / "runners" / config->runner / "bin" / "wine"))
                        prefix.wine = data / "runners" / config->runner / "bin" / "wine";
                } else {
                    list.problems.push_back("broken bottle.yml: " + file.string());
                }
            }
            list.prefixes.push_back(std::move(prefix));
        }
    }
}

void addLutrisGames(const std::filesystem::path& home, PrefixList& list)
{
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
}

} // namespace

bool isPrefix(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_regular_file(folder / "system.reg", error) && std::filesystem::is_directory(folder / "drive_c", error);
}

std::string prefixArch(const std::filesystem::path& prefix)
{
    std::ifstream file(prefix / "system.reg");
    std::string line;
    // The line stands in the file's head, before the first key.
    for (int read = 0; read < 16 && std::getline(file, line); ++read) {
        const std::string_view text = trim(line);
        if (text.starts_with("#arch="))
            return std::string(text.substr(6));
        if (text.starts_with("["))
            break;
    }
    return {};
}

std::vector<std::filesystem::path> steamRoots(const std::filesystem::path& home)
{
    std::vector<std::filesystem::path> roots;
    for (const auto& candidate : { home / ".local" / "share" / "Steam", home / ".steam" / "steam",
             home / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam",
             home / "snap" / "steam" / "common" / ".local" / "share" / "Steam" }) {
        const auto real = realPath(candidate);
        if (real && std::find(roots.begin(), roots.end(), *real) == roots.end())
            roots.push_back(*real);
    }
    return roots;
}

SteamLibraries steamLibraries(const std::filesystem::path& root)
{
    SteamLibraries libraries { { realPath(root).value_or(root) }, {} };
    const auto add = [&](const std::string& path) {
        if (path.empty())
            return;
        const auto real = realPath(path);
        if (real && std::find(libraries.folders.begin(), libraries.folders.end(), *real) == libraries.folders.end())
            libraries.folders.push_back(*real);
    };
    const std::filesystem::path path = root / "steamapps" / "libraryfolders.vdf";
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return libraries;
    const auto file = parseVdf(readText(path));
    const VdfNode* folders = file ? file->find("libraryfolders") : nullptr;
    if (!folders) {
        libraries.problem = "broken libraryfolders.vdf: " + path.string();
        return libraries;
    }
    for (const auto& [key, entry] : folders->children) {
        if (entry.isBlock)
            add(entry.text("path").value_or("")); // "0" { "path" "/..." ... }
        else if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
            add(entry.value); // the old layout: "1" "/..."
    }
    return libraries;
}

PrefixList findPrefixes(const PrefixSearch& search)
{
    PrefixList found;
    std::vector<WinePrefix>& candidates = found.prefixes;
    if (!search.winePrefixVariable.empty() && isPrefix(search.winePrefixVariable))
        candidates.push_back({ search.winePrefixVariable, folderName(search.winePrefixVariable), "environment", {}, {} });
    if (isPrefix(search.home / ".wine"))
        candidates.push_back({ search.home / ".wine", "Wine", "default", {}, {} });
    if (search.chosen != "none" && !search.chosen.empty() && isPrefix(search.chosen))
        candidates.push_back({ search.chosen, folderName(search.chosen), "chosen", {}, {} });
    for (const auto& folder : subfolders(search.home / ".local" / "share" / "wineprefixes"))
        if (isPrefix(folder))
            candidates.push_back({ folder, folder.filename().string(), "winetricks", {}, {} });
    addSteamPrefixes(search.home, found);
    addBottles(search.home, found);
    addLutrisGames(search.home, found);

    // Each real folder once, by its most specific source; the order of first finding is kept.
    std::vector<WinePrefix> prefixes;
    std::map<std::filesystem::path, size_t> seen;
    for (WinePrefix& candidate : candidates) {
        const auto real = realPath(candidate.path);
        if (!real)
            continue;
        const auto [at, added] = seen.emplace(*real, prefixes.size());
        if (added) {
            candidate.arch = prefixArch(candidate.path);
            prefixes.push_back(std::move(candidate));
        } else if (specificity(candidate.source) > specificity(prefixes[at->second].source)) {
            const std::string arch = prefixes[at->second].arch;
            prefixes[at->second] = std::move(candidate);
            prefixes[at->second].arch = arch;
        }
    }
    const std::filesystem::path systemWine = wineOnPath(search.pathVariable);
    for (WinePrefix& prefix : prefixes)
        if (prefix.wine.empty())
            prefix.wine = systemWine;
    found.prefixes = std::move(prefixes);
    return found;
}

std::filesystem::path protonWine(const std::filesystem::path& compatData)
{
    std::ifstream file(compatData / "config_info");
    std::string line;
    // The first line is the prefix's version; the next name folders inside the Proton build
    // (.../files/share/fonts/, .../files/lib/), whose "files" (or "dist") folder holds bin/wine.
    for (int read = 0; read < 8 && std::getline(file, line); ++read) {
        if (read == 0 || !line.starts_with("/"))
            continue;
        for (const std::string_view folder : { "/files/", "/dist/" }) {
            const size_t at = line.rfind(folder);
            if (at == std::string::npos)
                continue;
            const std::filesystem::path wine = std::filesystem::path(line.substr(0, at + folder.size())) / "bin" / "wine";
            if (isExecutableFile(wine))
                return wine;
        }
    }
    return {};
}

std::filesystem::path wineOnPath(std::string_view pathVariable)
{
    for (const std::string& folder : splitNonEmpty(pathVariable, ':')) {
        // A relative entry names the working folder, never where a wine to trust is looked for.
        if (folder.front() != '/')
            continue;
        const std::filesystem::path wine = std::filesystem::path(folder) / "wine";
        if (isExecutableFile(wine))
            return wine;
    }
    return {};
}

WinePrefix describePrefix(const std::filesystem::path& prefix, const PrefixList& found, const PrefixSearch& search)
{
    if (const auto real = realPath(prefix)) {
        for (const WinePrefix& listed : found.prefixes)
            if (realPath(listed.path) == real)
                return listed;
    }
    return { prefix, folderName(prefix), "chosen", prefixArch(prefix), wineOnPath(search.pathVariable) };
}

} // namespace tvn::wine
