// Shared paths.

#include "core/Paths.h"

#include "core/Log.h"
#include "platform/Environment.h"
#include "platform/RuntimeFolder.h"

#include <optional>
#include <strings.h>

namespace tvn {

namespace {

constexpr std::string_view kProductFolder = "tvn";

std::filesystem::path& modulePathOverride()
{
    static std::filesystem::path path;
    return path;
}

std::optional<std::string> variable(std::string_view name)
{
    if (auto value = platform::environmentVariable(name))
        return value;
    if (name.size() == 7 && !strncasecmp(name.data(), "APPDATA", 7)) {
        if (auto folder = platform::userConfigFolder(); !folder.empty())
            return folder.string();
    }
    return std::nullopt;
}

} // namespace

std::filesystem::path appDataPath(std::string_view name)
{
    std::filesystem::path path = platform::userConfigFolder() / kProductFolder;
    if (!name.empty())
        path /= name;
    return path;
}

std::optional<std::filesystem::path> installerFolder()
{
    const std::filesystem::path cache = platform::userCacheFolder();
    if (cache.empty())
        return std::nullopt;
    std::filesystem::path folder = cache / kProductFolder / "installers";
    if (platform::makePrivateFolder(folder) != platform::FolderCheck::Private) {
        LOG_ERROR << "installer folder refused: " << folder.string();
        return std::nullopt;
    }
    return folder;
}

std::filesystem::path modulePath()
{
    if (!modulePathOverride().empty())
        return modulePathOverride();
    return platform::executablePath();
}

void setModulePath(std::filesystem::path path)
{
    modulePathOverride() = std::move(path);
}

std::string expandEnvironment(std::string_view text)
{
    std::string expanded;
    expanded.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find('%', at);
        const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            expanded.append(text.substr(at));
            break;
        }
        expanded.append(text.substr(at, open - at));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (auto value = name.empty() ? std::nullopt : variable(name))
            expanded += *value;
        else
            expanded.append(text.substr(open, close - open + 1)); // not a variable: kept as written
        at = close + 1;
    }
    return expanded;
}

} // namespace tvn
