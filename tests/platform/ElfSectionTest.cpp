#include "platform/ElfSection.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;
using test::TempDir;

TEST(ElfSection, ReadsANamedSection)
{
    EXPECT_EQ(platform::readElfSection(TVN_EXECUTABLE, TVN_CHANNEL_SECTION), "tvn_x01_01");
    EXPECT_TRUE(platform::readElfSection(TVN_EXECUTABLE, ".text").has_value());
    EXPECT_FALSE(platform::readElfSection(TVN_EXECUTABLE, ".no_such_section").has_value());
}

// Every prefix of a real executable is a clean "no", never a crash or a wild read.
TEST(ElfSection, MalformedFilesAreRefused)
{
    TempDir dir;
    EXPECT_FALSE(platform::readElfSection(dir / "absent", ".text"));
    test::writeFile(dir / "text", "not an elf file at all, just some words");
    EXPECT_FALSE(platform::readElfSection(dir / "text", ".text"));

    const std::string executable = test::readFile(TVN_EXECUTABLE);
    for (size_t length : { size_t(0), size_t(4), size_t(63), size_t(64), size_t(4096), executable.size() - 1 }) {
        test::writeFile(dir / "cut", executable.substr(0, length));
        EXPECT_FALSE(platform::readElfSection(dir / "cut", TVN_CHANNEL_SECTION)) << length;
    }
}
