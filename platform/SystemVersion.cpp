// System version and bitness from uname.

#include "platform/SystemVersion.h"

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
