#include "platform/AtomicFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tvn;
using test::TempDir;

namespace {
size_t entries(const std::filesystem::path& folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}
}

TEST(AtomicFile, CreatesAndReplacesKeepingTheMode)
{
    TempDir dir;
    const auto target = dir / "file";
    ASSERT_FALSE(platform::writeFileAtomically(target, "first"));
    EXPECT_EQ(test::readFile(target), "first");

    chmod(target.c_str(), 0640);
    ASSERT_FALSE(platform::writeFileAtomically(target, std::string(100000, 'x')));
    EXPECT_EQ(test::readFile(target), std::string(100000, 'x'));
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path()), 1u);
}

// A commit that must not replace fails when another file took the name after open(): that file
// is left as it was, and nothing of the writer's stays behind. With the name still free it lands.
TEST(AtomicFile, CommitWithoutReplacingLosesTheRace)
{
    TempDir dir;
    const auto target = dir / "file";
    {
        platform::AtomicFileWriter writer;
        ASSERT_FALSE(writer.open(target));
        ASSERT_FALSE(writer.write("ours"));
        test::writeFile(target, "theirs"); // appears between open and commit
        EXPECT_EQ(writer.commit(platform::AtomicFileWriter::Replace::No), std::make_error_code(std::errc::file_exists));
    }
    EXPECT_EQ(test::readFile(target), "theirs");
    EXPECT_EQ(entries(dir.path()), 1u);

    platform::AtomicFileWriter writer;
    ASSERT_FALSE(writer.open(dir / "free"));
    ASSERT_FALSE(writer.write("ours"));
    EXPECT_FALSE(writer.commit(platform::AtomicFileWriter::Replace::No));
    EXPECT_EQ(test::readFile(dir / "free"), "ours");
}

TEST(AtomicFile, FailureLeavesNoTemporaryFile)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "occupied"); // a folder where the file should go
    test::writeFile(dir / "occupied" / "inner", "kept");
    EXPECT_TRUE(platform::writeFileAtomically(dir / "occupied", "new"));
    EXPECT_EQ(test::readFile(dir / "occupied" / "inner"), "kept");
    EXPECT_EQ(entries(dir.path()), 1u);

    EXPECT_TRUE(platform::writeFileAtomically(dir / "missing" / "file", "new"));
}
