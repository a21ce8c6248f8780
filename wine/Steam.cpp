// Finding Steam's Proton prefixes.

#include "wine/Steam.h"

#include "wine/Folders.h"
#include "wine/Vdf.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace tvn::wine {

namespace {

// The wine of each Proton build folder already looked at ("" when it has none).
using ProtonBuilds = std::map<std::string, std::filesystem::path, std::less<>>;

std::filesystem::path protonWineOf(const std::filesystem::path& compatData, ProtonBuilds& builds)
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
            const std::string build = line.substr(0, at + folder.size());
            auto known = builds.find(build);
            if (known == builds.end()) {
                const std::filesystem::path wine = std::filesystem::path(build) / "bin" / "wine";
                known = builds.emplace(build, isExecutableFile(wine) ? wine : std::filesystem::path()).first;
            }
            if (!known->second.empty())
                return known->second;
        }
    }
    return {};
}

// The name Steam gives an app: its manifest's "name" in the library, else "Steam app <id>".
std::string steamAppName(const std::filesystem::path& library, const std::string& appId, PrefixList& list)
{
    const std::filesystem::path path = library / "steamapps" / ("appmanifest_" + appId + ".acf");
    const std::optional<std::string> text = readTextIfThere(path);
    if (!text)
        return "Steam app " + appId;
    const auto manifest = parseVdf(*text);
    const VdfNode* state = manifest ? manifest->find("AppState") : nullptr;
    if (const auto name = state ? state->text("name") : std::nullopt; name && !name->empty())
        return *name;
    list.problems.push_back("broken app manifest: " + path.string());
    return "Steam app " + appId;
}

} // namespace

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
    const std::optional<std::string> text = readTextIfThere(path);
    if (!text)
        return libraries;
    const auto file = parseVdf(*text);
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

PrefixList steamPrefixes(const std::filesystem::path& home)
{
    PrefixList list;
    ProtonBuilds builds; // most prefixes share a few builds
    for (const auto& root : steamRoots(home)) {
        const SteamLibraries libraries = steamLibraries(root);
        if (!libraries.problem.empty())
            list.problems.push_back(libraries.problem);
        for (const auto& library : libraries.folders)
            for (const auto& app : subfolders(library / "steamapps" / "compatdata"))
                if (isPrefix(app / "pfx"))
                    list.prefixes.push_back({ app / "pfx", steamAppName(library, app.filename().string(), list), "steam", {}, protonWineOf(app, builds) });
    }
    return list;
}

} // namespace tvn::wine
