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

namespace {

// An XDG base folder: the variable when it holds an absolute path, else `inHome` under $HOME.
std::filesystem::path baseFolder(const char* variable, const char* inHome)
{
    if (const char* folder = std::getenv(variable); folder && *folder == '/')
        return folder;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / inHome;
    return {};
}

} // namespace

std::filesystem::path userConfigFolder()
{
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path userDataFolder()
{
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path userCacheFolder()
{
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

std::filesystem::path executablePath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

} // namespace tvn::platform
