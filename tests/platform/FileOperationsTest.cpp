// The page's file operations: Win32 numbers from errno, sizes past 4 GiB, the copy's rules and a
// copy that fails part-way, moves and deletes; the copy with progress and its destinations.
#include "platform/FileCopy.h"
#include "platform/FileOperations.h"
#include "platform/Win32Error.h"
#include "tests/support/TempDir.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tvn;
using namespace tvn::platform;
using test::TempDir;

namespace {

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Win32Error, OneTableForEveryErrno)
{
    EXPECT_EQ(win32Error(ENOENT), 2);
    EXPECT_EQ(win32Error(ENOTDIR), 3);
    EXPECT_EQ(win32Error(EACCES), 5);
    EXPECT_EQ(win32Error(EXDEV), 17);
    EXPECT_EQ(win32Error(EBUSY), 32);
    EXPECT_EQ(win32Error(ENOSPC), 112);
    EXPECT_EQ(win32Error(ENOTEMPTY), 145);
    EXPECT_EQ(win32Error(EEXIST), 183);
    EXPECT_EQ(win32Error(EPIPE), 31); // unmapped: the general failure
    EXPECT_EQ(win32Error(std::error_code()), 0);
    TempDir dir;
    EXPECT_EQ(notFoundError(dir / "missing.txt"), 2);
    EXPECT_EQ(notFoundError(dir / "missing" / "file.txt"), 3);
    EXPECT_EQ(notFoundError("bare-name.txt"), 2); // no folder named: the working folder, which exists
}

TEST(FileOperations, QueriesAndSizes)
{
    TempDir dir;
    EXPECT_TRUE(makeDirectories(dir / "a" / "b" / "c"));
    EXPECT_FALSE(makeDirectories(dir / "a" / "b")); // already there
    EXPECT_TRUE(isDirectory(dir / "a") && !isRegularFile(dir / "a") && pathExists(dir / "a"));
    EXPECT_FALSE(pathExists(dir / "none"));

    // Sparse files: the low 32 bits as a signed number.
    const auto sized = [&dir](const char* name, uint64_t size) {
        test::writeFile(dir / name, "");
        std::filesystem::resize_file(dir / name, size);
        return fileSize32(dir / name);
    };
    EXPECT_EQ(sized("3g", 3ull << 30), static_cast<int32_t>(0xC0000000u));
    EXPECT_EQ(sized("5g", (5ull << 30) + 7), static_cast<int32_t>((1u << 30) + 7));
    EXPECT_EQ(fileSize32(dir / "none"), -1);
}

TEST(FileOperations, CopyRules)
{
    TempDir dir;
    test::writeFile(dir / "from.txt", "new");
    test::writeFile(dir / "to.txt", "old");
    std::filesystem::permissions(dir / "from.txt", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::owner_exec);

    EXPECT_EQ(copyFile(dir / "none.txt", dir / "x.txt", false), 2);
    EXPECT_EQ(copyFile(dir / "none" / "a.txt", dir / "x.txt", false), 3);
    EXPECT_EQ(copyFile(dir / "from.txt", dir / "to.txt", false), 183);
    EXPECT_EQ(test::readFile(dir / "to.txt"), "old");
    EXPECT_EQ(copyFile(dir / "from.txt", dir / "from.txt", true), 183); // the same file
    EXPECT_EQ(copyFile(dir / "from.txt", dir / "to.txt", true), 0);
    EXPECT_EQ(test::readFile(dir / "to.txt"), "new");
    EXPECT_EQ(copyFile(dir / "from.txt", dir / "missing" / "to.txt", false), 3);

    EXPECT_EQ(copyFile(dir / "from.txt", dir / "fresh.txt", false), 0);
    EXPECT_EQ(std::filesystem::status(dir / "fresh.txt").permissions() & std::filesystem::perms::owner_exec, std::filesystem::perms::owner_exec);
    std::filesystem::create_directory(dir / "folder");
    EXPECT_EQ(copyFile(dir / "folder", dir / "folder-copy", false), 0); // a folder: nothing is copied
    EXPECT_FALSE(pathExists(dir / "folder-copy"));
    EXPECT_EQ(copyFile(dir / "from.txt", dir / "folder", true), 183); // onto a folder
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "folder", "fresh.txt", "from.txt", "to.txt" }));
}

// A copy that cannot be finished (here the file-size limit stops it, as a full disk would) leaves
// the old target whole and nothing beside it.
TEST(FileOperations, FailedCopyLeavesTheTargetAsItWas)
{
    TempDir dir;
    test::writeFile(dir / "big.bin", std::string(1 << 20, 'x'));
    test::writeFile(dir / "to.bin", "old content");
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &limited);
    const int result = copyFile(dir / "big.bin", dir / "to.bin", true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(result, 223); // ERROR_FILE_TOO_LARGE
    EXPECT_EQ(test::readFile(dir / "to.bin"), "old content");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "big.bin", "to.bin" }));
}

TEST(FileOperations, MoveAndDelete)
{
    TempDir dir;
    test::writeFile(dir / "a.txt", "a");
    test::writeFile(dir / "b.txt", "b");
    EXPECT_EQ(movePath(dir / "a.txt", dir / "a.txt"), 0);
    EXPECT_EQ(movePath(dir / "a.txt", dir / "b.txt"), 0); // replaces
    EXPECT_EQ(test::readFile(dir / "b.txt"), "a");
    EXPECT_EQ(movePath(dir / "a.txt", dir / "c.txt"), 2);
    EXPECT_EQ(movePath(dir / "b.txt", dir / "no" / "c.txt"), 3);

    std::filesystem::create_directories(dir / "tree" / "sub");
    test::writeFile(dir / "tree" / "sub" / "f.txt", "f");
    test::writeFile(dir / "readonly.txt", "r");
    std::filesystem::permissions(dir / "readonly.txt", std::filesystem::perms::owner_read);
    EXPECT_EQ(deletePath(dir / "tree"), 0);
    EXPECT_EQ(deletePath(dir / "readonly.txt"), 0);
    EXPECT_EQ(deletePath(dir / "nothing"), 0);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "b.txt" }));
}

TEST(FileCopy, Destinations)
{
    EXPECT_EQ(copyDestination("/src/a.txt", "/dst/"), (CopyDestination { "/dst", "a.txt", true }));
    EXPECT_EQ(copyDestination("/src/a.txt", "/dst\\"), (CopyDestination { "/dst", "a.txt", true }));
    EXPECT_EQ(copyDestination("/src/folder/", "/dst/"), (CopyDestination { "/dst", "folder", true }));
    EXPECT_EQ(copyDestination("/src/a.txt", "/dst/b.txt"), (CopyDestination { "/dst", "b.txt", false }));
    EXPECT_EQ(copyDestination("/src/a.txt", "/"), (CopyDestination { "/", "a.txt", true }));
}

TEST(FileCopy, CopiesWithProgress)
{
    TempDir dir;
    test::writeFile(dir / "a.bin", std::string(3 << 20, 'a'));
    std::vector<std::pair<int64_t, int64_t>> calls;
    const CopyProgress record = [&calls](int64_t current, int64_t total) { calls.emplace_back(current, total); };

    EXPECT_TRUE(copyWithProgress((dir / "a.bin").string(), (dir / "new" / "deeper").string() + "/", record));
    EXPECT_EQ(test::readFile(dir / "new" / "deeper" / "a.bin").size(), 3u << 20);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(int64_t(3 << 20), int64_t(3 << 20)));

    EXPECT_TRUE(copyWithProgress((dir / "a.bin").string(), (dir / "b.bin").string(), record));
    EXPECT_FALSE(copyWithProgress((dir / "a.bin").string(), (dir / "missing" / "b.bin").string(), record)); // its folder must exist
    EXPECT_FALSE(copyWithProgress((dir / "none.bin").string(), (dir / "c.bin").string(), record));

    // A folder with what is in it; never into itself.
    EXPECT_TRUE(copyWithProgress((dir / "new").string(), (dir / "copy").string(), record));
    EXPECT_TRUE(pathExists(dir / "copy" / "deeper" / "a.bin"));
    EXPECT_FALSE(copyWithProgress((dir / "new").string(), (dir / "new" / "inside").string(), record));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> { "a.bin", "b.bin", "copy", "new" }));
    EXPECT_EQ(namesIn(dir / "new" / "deeper"), (std::vector<std::string> { "a.bin" })); // nothing left beside it
}
