// The installed programs as the Uninstall key lists them: the registry store's
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall, and the system's package
// database (dpkg), whose installed packages appear with the DisplayName "package version".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvn::platform {

inline constexpr std::string_view kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// "package version" for every package whose Status is "install ok installed", in file order.
std::vector<std::string> parseDpkgStatus(std::string_view status);

// The dpkg status file read (/var/lib/dpkg/status unless a test points elsewhere).
std::vector<std::string> dpkgDisplayNames();
void setDpkgStatusFile(std::filesystem::path);

} // namespace tvn::platform
