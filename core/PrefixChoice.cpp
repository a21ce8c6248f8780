// Choosing the Wine prefix.

#include "core/PrefixChoice.h"

#include "core/GlobalConfig.h"
#include "core/PagePaths.h"
#include "platform/Environment.h"
#include "wine/DriveMap.h"

#include <mutex>

namespace tvn {

wine::PrefixSearch currentPrefixSearch()
{
    return { platform::environmentVariable("HOME").value_or(""), platform::environmentVariable("WINEPREFIX").value_or(""),
        GlobalConfig::instance().get("system", "wineprefix", ""), platform::environmentVariable("PATH").value_or("") };
}

std::optional<wine::WinePrefix> currentWinePrefix()
{
    const wine::PrefixSearch search = currentPrefixSearch();
    static std::mutex mutex;
    static std::optional<std::tuple<std::string, std::string, std::string, std::string>> key;
    static std::optional<wine::WinePrefix> prefix;
    std::lock_guard lock(mutex);
    const auto current = std::make_tuple(search.home.string(), search.winePrefixVariable, search.chosen, search.pathVariable);
    if (key != current) {
        const std::optional<std::filesystem::path> path = wine::chooseWinePrefix(search.chosen, search.winePrefixVariable, search.home);
        prefix = path ? std::optional(wine::describePrefix(*path, wine::findPrefixes(search), search)) : std::nullopt;
        key = current;
    }
    return prefix;
}

wine::LoaderFolders currentLoaderFolders()
{
    const std::optional<wine::WinePrefix> prefix = currentWinePrefix();
    return { pagePath("C:\\windows"), pagePath("C:\\windows\\system32"), pagePath("C:\\windows\\syswow64"), prefix ? prefix->arch : std::string(),
        prefix ? prefix->wine : wine::wineOnPath(currentPrefixSearch().pathVariable) };
}

std::string useWinePrefix(std::string_view path)
{
    std::string value = "none"; // tvn's own drive_c, even when $WINEPREFIX or ~/.wine is there
    if (!path.empty()) {
        const std::filesystem::path folder(path);
        if (!folder.is_absolute())
            return "not an absolute path";
        if (!wine::isPrefix(folder))
            return "no system.reg and drive_c in it";
        value = folder.lexically_normal().string();
        if (value.size() > 1 && value.back() == '/')
            value.pop_back();
    }
    if (!GlobalConfig::instance().set("system", "wineprefix", value))
        return "config.ini cannot be written";
    return {};
}

} // namespace tvn
