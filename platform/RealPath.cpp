// Real paths and folder ownership.

#include "platform/RealPath.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tvn::platform {

std::optional<std::filesystem::path> realPathInside(const std::filesystem::path& folder, const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path realFolder = std::filesystem::canonical(folder, error);
    if (error)
        return std::nullopt;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error)
        return std::nullopt;
    // Component by component: "/site2/x" is not inside "/site".
    auto step = real.begin();
    for (auto part = realFolder.begin(); part != realFolder.end(); ++part, ++step)
        if (step == real.end() || *step != *part)
            return std::nullopt;
    if (step == real.end())
        return std::nullopt;
    return real;
}

bool openToOtherUsers(const std::filesystem::path& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return true;
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return true;
    return status.st_uid != ::getuid() && status.st_uid != 0;
}

} // namespace tvn::platform
