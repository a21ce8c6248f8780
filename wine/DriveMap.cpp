// Drive tables and the mapping of Windows paths.

#include "wine/DriveMap.h"

#include "util/Strings.h"

#include <cctype>
#include <vector>

namespace tvn::wine {

namespace {

// The entry of `folder` named `name`: the exact one, else one equal without regard to (ASCII)
// case, else `name` itself (a path still to be made).
std::filesystem::path matchComponent(const std::filesystem::path& folder, const std::string& name)
{
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder / name, error)))
        return folder / name;
    const std::string wanted = asciiLower(name);
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (asciiLower(entry->path().filename().string()) == wanted)
            return entry->path();
    }
    return folder / name;
}

} // namespace

bool isWindowsPath(std::string_view path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::optional<std::filesystem::path> nativePath(std::string_view path, const DriveTable& table)
{
    if (!isWindowsPath(path))
        return std::filesystem::path(path);
    const auto drive = table.drives.find(static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))));
    if (drive == table.drives.end())
        return std::nullopt;
    // The components after the drive, with "." dropped and ".." stopping at the drive's root.
    std::vector<std::string> components;
    std::string current;
    const auto finish = [&] {
        if (current == "..") {
            if (!components.empty())
                components.pop_back();
        } else if (!current.empty() && current != ".") {
            components.push_back(current);
        }
        current.clear();
    };
    for (const char c : path.substr(2)) {
        if (c == '\\' || c == '/')
            finish();
        else
            current += c;
    }
    finish();
    std::filesystem::path native = drive->second;
    for (const std::string& component : components)
        native = matchComponent(native, component);
    // A trailing separator names a folder: keep it.
    if (path.size() > 2 && (path.back() == '\\' || path.back() == '/'))
        native /= "";
    return native;
}

std::optional<std::filesystem::path> chooseWinePrefix(std::string_view configured, std::string_view environment, const std::filesystem::path& home)
{
    if (configured == "none")
        return std::nullopt;
    if (!configured.empty())
        return std::filesystem::path(configured);
    if (!environment.empty())
        return std::filesystem::path(environment);
    std::error_code error;
    if (!home.empty() && std::filesystem::is_directory(home / ".wine" / "drive_c", error))
        return home / ".wine";
    return std::nullopt;
}

DriveTable prefixDriveTable(const std::filesystem::path& prefix)
{
    DriveTable table;
    table.winePrefix = prefix;
    const std::filesystem::path devices = prefix / "dosdevices";
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const std::filesystem::path link = devices / (std::string(1, letter) + ":");
        std::error_code error;
        std::filesystem::path target = std::filesystem::read_symlink(link, error);
        if (error)
            continue;
        if (target.is_relative())
            target = devices / target;
        if (std::filesystem::is_directory(target, error))
            table.drives[letter] = target.lexically_normal();
    }
    return table;
}

DriveTable defaultDriveTable(const std::filesystem::path& applicationData)
{
    DriveTable table;
    table.drives['c'] = applicationData / "drive_c";
    return table;
}

} // namespace tvn::wine
