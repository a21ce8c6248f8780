// Finding Wine prefixes.

#include "wine/Prefixes.h"

#include "util/Strings.h"
#include "wine/Vdf.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

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
    if (source == "steam")
        return 3;
    if (source == "winetricks")
        return 2;
    if (source == "default")
        return 1;
    return 0; // environment
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
                    list.prefixes.push_back({ app / "pfx", steamAppName(library, app.filename().string(), list), "steam", {} });
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
        candidates.push_back({ search.winePrefixVariable, std::filesystem::path(search.winePrefixVariable).filename().string(), "environment", {} });
    if (isPrefix(search.home / ".wine"))
        candidates.push_back({ search.home / ".wine", "Wine", "default", {} });
    for (const auto& folder : subfolders(search.home / ".local" / "share" / "wineprefixes"))
        if (isPrefix(folder))
            candidates.push_back({ folder, folder.filename().string(), "winetricks", {} });
    addSteamPrefixes(search.home, found);

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
    found.prefixes = std::move(prefixes);
    return found;
}

} // namespace tvn::wine
