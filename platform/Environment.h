// The process environment and the folders the system derives from it.
//
// Stands in for SHGetFolderPathW(CSIDL_APPDATA), GetModuleFileNameW and the environment block of
// Win32. Pure reads: nothing here creates a folder or changes the environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tvn::platform {

// The variable's value; an exact match first, then one that differs only in ASCII letter case
// (Windows treats variable names without regard to case, and callers spell them that way).
std::optional<std::string> environmentVariable(std::string_view name);

// The user's roaming settings folder: $XDG_CONFIG_HOME, else $HOME/.config; empty when neither is
// set (or the first is not absolute, which XDG says to ignore).
std::filesystem::path userConfigFolder();

// $XDG_DATA_HOME when it is absolute, else $HOME/.local/share; empty when neither is known.
std::filesystem::path userDataFolder();
// $XDG_CACHE_HOME when it is absolute, else $HOME/.cache; empty when neither is known.
std::filesystem::path userCacheFolder();

// The running executable's full path (/proc/self/exe); empty if it cannot be read.
std::filesystem::path executablePath();

} // namespace tvn::platform
