// The Downloads folder from user-dirs.dirs, and a free name in it.

#include "platform/Downloads.h"

#include "platform/Environment.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tvn::platform {

namespace {

std::filesystem::path homeFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

} // namespace

std::optional<std::filesystem::path> downloadFolderFromUserDirs(std::string_view text, const std::filesystem::path& home)
{
    constexpr std::string_view key = "XDG_DOWNLOAD_DIR=\"";
    std::optional<std::filesystem::path> folder;
    std::istringstream lines { std::string(text) };
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value;
        bool closed = false;
        for (size_t at = start + key.size(); at < line.size(); ++at) {
            if (line[at] == '\\' && at + 1 < line.size()) {
                value += line[++at];
            } else if (line[at] == '"') {
                closed = true;
                break;
            } else {
                value += line[at];
            }
        }
        if (!closed)
            continue;
        // The last valid line wins, as a shell sourcing the file would have it.
        if (value == "$HOME")
            folder = home;
        else if (value.rfind("$HOME/", 0) == 0)
            folder = home / value.substr(6);
        else if (!value.empty() && value[0] == '/')
            folder = value;
    }
    return folder;
}

std::filesystem::path userDownloadFolder()
{
    const std::filesystem::path config = userConfigFolder();
    std::ifstream file;
    if (!config.empty())
        file.open(config / "user-dirs.dirs");
    std::ostringstream text;
    text << file.rdbuf();
    return downloadFolderFromUserDirs(text.str(), homeFolder()).value_or(homeFolder());
}

std::filesystem::path freeFileName(const std::filesystem::path& folder, const std::string& name)
{
    std::error_code error;
    std::filesystem::path candidate = folder / name;
    const std::filesystem::path plain(name);
    for (int number = 1; number <= 999 && std::filesystem::symlink_status(candidate, error).type() != std::filesystem::file_type::not_found; ++number)
        candidate = folder / (plain.stem().string() + " (" + std::to_string(number) + ")" + plain.extension().string());
    return std::filesystem::symlink_status(candidate, error).type() == std::filesystem::file_type::not_found ? candidate : folder / name;
}

} // namespace tvn::platform
