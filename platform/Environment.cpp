// Environment variables, the user's configuration folder and the executable's own path.

#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace tvn::platform {

std::optional<std::string> environmentVariable(std::string_view name)
{
    const std::string key(name);
    if (const char* value = std::getenv(key.c_str()))
        return std::string(value);
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals && static_cast<size_t>(equals - *entry) == key.size()
            && !strncasecmp(*entry, key.c_str(), key.size()))
            return std::string(equals + 1);
    }
    return std::nullopt;
}

std::filesystem::path userConfigFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return config;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config";
    return {};
}

std::filesystem::path userCacheFolder()
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return cache;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".cache";
    return {};
}

std::filesystem::path executablePath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

} // namespace tvn::platform
