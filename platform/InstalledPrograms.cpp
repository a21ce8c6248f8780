// The package database as installed programs.

#include "platform/InstalledPrograms.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace tvn::platform {

namespace {

std::mutex g_mutex;
std::filesystem::path g_statusFile = "/var/lib/dpkg/status";

std::string_view fieldValue(std::string_view line, std::string_view field)
{
    if (!line.starts_with(field) || line.size() <= field.size() || line[field.size()] != ':')
        return {};
    std::string_view value = line.substr(field.size() + 1);
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    return value;
}

} // namespace

std::vector<std::string> parseDpkgStatus(std::string_view status)
{
    std::vector<std::string> names;
    std::string package, version;
    bool installed = false;
    const auto finish = [&] {
        if (installed && !package.empty())
            names.push_back(version.empty() ? package : package + " " + version);
        package.clear();
        version.clear();
        installed = false;
    };
    while (!status.empty()) {
        const size_t end = status.find('\n');
        std::string_view line = status.substr(0, end);
        status.remove_prefix(end == std::string_view::npos ? status.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty()) {
            finish();
        } else if (const auto value = fieldValue(line, "Package"); !value.empty()) {
            package = value;
        } else if (const auto value = fieldValue(line, "Version"); !value.empty()) {
            version = value;
        } else if (const auto value = fieldValue(line, "Status"); !value.empty()) {
            installed = value == "install ok installed";
        }
    }
    finish();
    return names;
}

std::vector<std::string> dpkgDisplayNames()
{
    std::filesystem::path file;
    {
        std::lock_guard lock(g_mutex);
        file = g_statusFile;
    }
    std::ifstream stream(file, std::ios::binary);
    const std::string text { std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>() };
    return parseDpkgStatus(text);
}

void setDpkgStatusFile(std::filesystem::path file)
{
    std::lock_guard lock(g_mutex);
    g_statusFile = std::move(file);
}

} // namespace tvn::platform
