// The path functions every subsystem shares: the application-data folder, the executable's path,
// and %NAME% expansion.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tvn {

// <user config folder>/tvn joined with `name` (the folder itself for an empty name); the relative
// path "tvn" joined with `name` when no user folder is known. Creates nothing.
std::filesystem::path appDataPath(std::string_view name = {});

// The folder downloaded installers wait in before they run: <user cache folder>/tvn/installers,
// made private (0700) when needed; nullopt (logged) when it cannot be, or no user folder is known.
std::optional<std::filesystem::path> installerFolder();

// The executable's full path; its parent is the application folder.
std::filesystem::path modulePath();

// In a process that is not the executable itself (the web process), the executable's path as the
// browser process handed it over. Set once, at start-up, before any thread reads modulePath().
void setModulePath(std::filesystem::path);

// Expands every %NAME% from the environment (names without regard to case). %APPDATA% means the
// user config folder when no such variable is set. An unknown or unterminated reference stays as
// written.
std::string expandEnvironment(std::string_view text);

} // namespace tvn
