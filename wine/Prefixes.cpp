// Finding Wine prefixes: the general places, and every tool's own through its source file.

#include "wine/Prefixes.h"

#include "util/Strings.h"
#include "wine/Bottles.h"
#include "wine/Folders.h"
#include "wine/Lutris.h"
#include "wine/Steam.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

namespace tvn::wine {

namespace {

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
    for (const auto source : { steamPrefixes, bottlesPrefixes, lutrisPrefixes }) {
        PrefixList tool = source(search.home);
        std::move(tool.prefixes.begin(), tool.prefixes.end(), std::back_inserter(candidates));
        std::move(tool.problems.begin(), tool.problems.end(), std::back_inserter(found.problems));
    }

    // Each folder once, by its most specific source; the order of first finding is kept.
    std::vector<WinePrefix> prefixes;
    std::map<FolderIdentity, size_t> seen;
    for (WinePrefix& candidate : candidates) {
        const auto identity = identityOf(candidate.path);
        if (!identity)
            continue;
        const auto [at, added] = seen.emplace(*identity, prefixes.size());
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
    if (const auto identity = identityOf(prefix)) {
        for (const WinePrefix& listed : found.prefixes)
            if (identityOf(listed.path) == identity)
                return listed;
    }
    return { prefix, folderName(prefix), "chosen", prefixArch(prefix), wineOnPath(search.pathVariable) };
}

} // namespace tvn::wine
