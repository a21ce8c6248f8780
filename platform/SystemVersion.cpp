// System version and bitness from uname, the distribution's name from os-release.

#include "platform/SystemVersion.h"

#include <fstream>
#include <map>
#include <sstream>
#include <sys/utsname.h>

namespace tvn::platform {

SystemVersion versionFromRelease(std::string_view release)
{
    int numbers[3] = { 0, 0, 0 };
    size_t at = 0;
    for (int& number : numbers) {
        if (at >= release.size() || release[at] < '0' || release[at] > '9')
            break;
        long value = 0;
        while (at < release.size() && release[at] >= '0' && release[at] <= '9') {
            if (value < 100000000)
                value = value * 10 + (release[at] - '0');
            ++at;
        }
        number = static_cast<int>(value);
        if (at >= release.size() || release[at] != '.')
            break;
        ++at;
    }
    SystemVersion version { numbers[0], numbers[1], numbers[2], 2 };
    if (version.major == 10 && version.build >= 22000)
        version.major = 11;
    return version;
}

SystemVersion systemVersion()
{
    struct utsname name;
    if (uname(&name) != 0)
        return {};
    return versionFromRelease(name.release);
}

namespace {

// A value as a shell would read it: quoted with " or ', or bare; backslash escapes one character.
std::string unquote(std::string_view value)
{
    std::string text;
    char quote = 0;
    for (size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (c == quote) {
            quote = 0;
        } else if (c == '\\' && quote != '\'' && at + 1 < value.size()) {
            text += value[++at];
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

std::string distributionName(std::string_view osRelease)
{
    std::map<std::string, std::string, std::less<>> fields;
    std::istringstream lines { std::string(osRelease) };
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        fields[line.substr(0, equals)] = unquote(std::string_view(line).substr(equals + 1));
    }
    const auto field = [&fields](std::string_view key) {
        const auto found = fields.find(key);
        return found == fields.end() ? std::string() : found->second;
    };
    if (const std::string pretty = field("PRETTY_NAME"); !pretty.empty())
        return pretty;
    if (const std::string name = field("NAME"); !name.empty())
        return field("VERSION").empty() ? name : name + " " + field("VERSION");
    return "Linux";
}

std::string runningDistribution()
{
    for (const char* path : { "/etc/os-release", "/usr/lib/os-release" }) {
        std::ifstream file(path);
        if (file) {
            std::ostringstream text;
            text << file.rdbuf();
            return distributionName(text.str());
        }
    }
    return distributionName("");
}

std::string kernelRelease()
{
    struct utsname name;
    return uname(&name) == 0 ? name.release : "";
}

int bitsOfMachine(std::string_view machine)
{
    for (std::string_view wide : { "x86_64", "amd64", "aarch64", "arm64", "ppc64", "s390x", "riscv64", "mips64", "sparc64", "loongarch64", "ia64", "alpha" }) {
        if (machine.substr(0, wide.size()) == wide)
            return 64;
    }
    return 32;
}

int systemBits()
{
    struct utsname name;
    if (uname(&name) != 0)
        return 32;
    return bitsOfMachine(name.machine);
}

} // namespace tvn::platform
