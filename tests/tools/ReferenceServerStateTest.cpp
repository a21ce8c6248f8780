// The reference server's state folder keeps its private key: the user's alone.
#include "tools/server/Certificates.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace tvn;

namespace {

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

} // namespace

TEST(ReferenceServerState, KeysAreTheUsersAlone)
{
    test::TempDir dir;
    const auto files = server::ensureCertificates(dir / "state");
    EXPECT_EQ(modeOf(dir / "state"), 0700u);
    EXPECT_EQ(modeOf(files.privateKey), 0600u);

    // A folder left open by an earlier version is closed on the next start.
    ::chmod((dir / "state").c_str(), 0755);
    server::ensureCertificates(dir / "state");
    EXPECT_EQ(modeOf(dir / "state"), 0700u);

    std::filesystem::create_directories(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    EXPECT_THROW(server::ensureCertificates(dir / "link"), std::runtime_error);
}

TEST(ReferenceServerState, AnotherUsersFolderIsRefused)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    test::TempDir dir;
    std::filesystem::create_directories(dir / "theirs");
    ASSERT_EQ(::chown((dir / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_THROW(server::ensureCertificates(dir / "theirs"), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "theirs" / "server.key"));
}
