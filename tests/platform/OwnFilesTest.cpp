// Files and descriptors of ours: what other users and our children can see of them. The device id
// and the registry store are the user's alone; a started program inherits only its standard
// streams. (The log file's own rules are tested with the log.)
#include "identity/DeviceId.h"
#include "startup/ProcessStart.h"
#include "platform/HardwareFacts.h"
#include "platform/Launcher.h"
#include "platform/RegistryStore.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tvn;

namespace {

unsigned modeOf(const std::filesystem::path& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

TEST(OwnFiles, RegistryStoreAndDeviceIdAreTheUsersAlone)
{
    test::TempDir dir;
    const auto folder = dir / "config" / "tvn";
    {
        platform::RegistryStore store(folder / "registry.db");
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(modeOf(folder / "registry.db"), 0600u);
    }
    // A store made earlier with the default mode is closed when opened again.
    ASSERT_EQ(::chmod((folder / "registry.db").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    {
        platform::RegistryStore store(folder / "registry.db");
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(modeOf(folder / "registry.db"), 0600u);
    }

    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    platform::setHardwareFactsRoot(dir / "machine"); // nothing there: the fallbacks
    const std::string id = deviceId();
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(modeOf(folder / "uid"), 0600u);
}

// Every process's start makes the configuration folder the user's alone, whether it was missing or
// left open by an earlier version.
TEST(OwnFiles, StartUpClosesTheConfigurationFolder)
{
    test::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    startProcess(StartReport::Wait); // no server is named: the report fails at once
    EXPECT_EQ(modeOf(dir / "tvn"), 0700u);
    ASSERT_EQ(::chmod((dir / "tvn").c_str(), 0755), 0);
    startProcess(StartReport::Wait);
    EXPECT_EQ(modeOf(dir / "tvn"), 0700u);
}

// A descriptor this process opened without close-on-exec never reaches a child.
TEST(OwnFiles, ChildrenInheritOnlyTheirStandardStreams)
{
    const int leaked = ::open("/dev/null", O_RDONLY); // no O_CLOEXEC, as a library might
    ASSERT_GT(leaked, 2);
    const auto child = platform::startWithOutputPipe(std::nullopt, { "sh", "-c", "ls /proc/$$/fd" }, std::filesystem::current_path());
    ASSERT_TRUE(child);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = ::read(child->output, buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    ::close(child->output);
    EXPECT_EQ(platform::waitForExit(child->pid), 0);
    EXPECT_EQ(output, "0\n1\n2\n");
    ::close(leaked);
}
