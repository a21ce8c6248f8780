// Wine's registry files (system.reg, user.reg) read as text, read-only: the installed programs a
// prefix lists. Writing them while Wine's server runs would corrupt them, so nothing here writes.
//
// The format: "[key\\path] <time>" opens a key (backslashes doubled); "name"=value lines follow, a
// value being "string" (escapes \\ \" \n \r \t \0 \xHHHH), str(2):"string", dword:hhhhhhhh, or
// hex(type):bytes (continued with a trailing backslash); "@" names the default value. Anything
// else, and a file cut short, is read as far as it is whole.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::wine {

// Each key's string values (REG_SZ and REG_EXPAND_SZ, and REG_SZ/REG_EXPAND_SZ written as hex),
// keys as written without the doubled backslashes, names as written ("" for the default value).
using WineRegistryKeys = std::map<std::string, std::map<std::string, std::string>>;
WineRegistryKeys parseWineRegistry(std::string_view text);

// The DisplayName of every uninstall entry in one file's keys (the 64-bit and the Wow6432Node
// lists, compared without regard to case).
std::vector<std::string> uninstallDisplayNames(const WineRegistryKeys&);

// The entries of a prefix: its system.reg (the machine's) and user.reg (the user's).
std::vector<std::string> prefixInstalledPrograms(const std::filesystem::path& prefix);

} // namespace tvn::wine
