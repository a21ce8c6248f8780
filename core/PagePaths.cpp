// The current drive table, cached per configuration and environment.

#include "core/PagePaths.h"

#include "core/GlobalConfig.h"
#include "core/Paths.h"
#include "platform/Environment.h"

#include <mutex>
#include <tuple>

namespace tvn {

wine::DriveTable currentDriveTable()
{
    const std::string configured = GlobalConfig::instance().get("system", "wineprefix", "");
    const std::string environment = platform::environmentVariable("WINEPREFIX").value_or("");
    const std::string home = platform::environmentVariable("HOME").value_or("");
    const std::filesystem::path applicationData = appDataPath();

    static std::mutex mutex;
    static std::optional<std::tuple<std::string, std::string, std::string, std::filesystem::path>> key;
    static wine::DriveTable table;
    std::lock_guard lock(mutex);
    const auto current = std::make_tuple(configured, environment, home, applicationData);
    if (key != current) {
        const std::optional<std::filesystem::path> prefix = wine::chooseWinePrefix(configured, environment, home);
        table = prefix ? wine::prefixDriveTable(*prefix) : wine::defaultDriveTable(applicationData);
        key = current;
    }
    return table;
}

std::filesystem::path pagePath(std::string_view path)
{
    if (auto native = wine::nativePath(path, currentDriveTable()))
        return *native;
    // Below a file, where nothing can ever be found or made: as written, "D:\x" would be a
    // relative path that a write creates in the working folder.
    return std::filesystem::path(kUnmappedDrive) / std::string(path);
}

} // namespace tvn
