// The shared file-system reads of the prefix sources.

#include "wine/Folders.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::wine {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
}

std::optional<std::string> readTextIfThere(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<FolderIdentity> identityOf(const std::filesystem::path& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return FolderIdentity { status.st_dev, status.st_ino };
}

std::optional<std::filesystem::path> realPath(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error)
        return std::nullopt;
    return real;
}

std::string folderName(const std::filesystem::path& folder)
{
    const std::filesystem::path normal = folder.lexically_normal();
    return (normal.has_filename() ? normal : normal.parent_path()).filename().string();
}

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

bool isExecutableFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

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

} // namespace tvn::wine
