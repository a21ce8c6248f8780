// The running system's version and bitness, as the page asks for them: the kernel's release as
// major, minor and build, and whether the machine is 64-bit; and, for people, the distribution's
// name (os-release) and the kernel's release as it stands.
#pragma once

#include <string>
#include <string_view>

namespace tvn::platform {

struct SystemVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int platformId = 0;
    bool operator==(const SystemVersion&) const = default;
};

// The first three numbers of a release text ("6.1.0-18-amd64" gives 6, 1, 0); a missing number is
// 0. platformId is 2, the NT family the page was written for. A major of 10 with a build of 22000
// or more is reported as 11, as the page expects of that system.
SystemVersion versionFromRelease(std::string_view release);
SystemVersion systemVersion();

// The distribution's name in an os-release file's text: PRETTY_NAME, else NAME and VERSION, else
// "Linux"; a value's quotes and backslash escapes undone.
std::string distributionName(std::string_view osRelease);
// From /etc/os-release, else /usr/lib/os-release.
std::string runningDistribution();
// uname's release ("6.1.0-18-amd64"); "" when it cannot be read.
std::string kernelRelease();

// 64 or 32, from the machine name `uname` gives ("x86_64", "aarch64", "i686", ...).
int bitsOfMachine(std::string_view machine);
int systemBits();

} // namespace tvn::platform
