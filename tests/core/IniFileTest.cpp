#include "core/IniFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;
using test::TempDir;

namespace {

IniFile::Sections parsed(std::string_view text, bool expectComplete = true)
{
    IniFile::Sections sections;
    EXPECT_EQ(IniFile::parse(text, sections), expectComplete) << text;
    return sections;
}

} // namespace

TEST(IniFile, TrimsBlanksButKeepsTabs)
{
    auto sections = parsed("  [ app ]  \r\n  loglevel = debug \r\n key=\tvalue\t\n");
    EXPECT_EQ(sections["app"]["loglevel"], "debug");
    EXPECT_EQ(sections["app"]["key"], "\tvalue\t");
}

TEST(IniFile, CommentsRepeatedSectionsAndKeys)
{
    auto sections = parsed("# top\nfree=1\n[a]\nx=1\ny=2\n[b]\nz=3\n[a]\nx=4\nx=5\n;not a comment=6\n");
    EXPECT_EQ(sections[""]["free"], "1");
    EXPECT_EQ(sections["a"], (IniFile::Section { { "x", "5" }, { ";not a comment", "6" } }));
    EXPECT_EQ(sections["b"]["z"], "3");
    EXPECT_EQ(parsed("[s]\na=b=c\n")["s"]["a"], "b=c");
    EXPECT_EQ(parsed("[s]  trailing\nk=v")["s"]["k"], "v"); // text after "]" ignored; last line without LF
}

TEST(IniFile, MalformedLineStopsTheLoadKeepingWhatCameBefore)
{
    auto sections = parsed("[app]\nk=v\n[broken\nlater=x\n", false);
    EXPECT_EQ(sections["app"]["k"], "v");
    EXPECT_EQ(sections.count("broken"), 0u);
    EXPECT_FALSE(sections["app"].count("later"));

    sections = parsed("[app]\nk=v\njust words\nlater=x\n", false);
    EXPECT_EQ(sections["app"], (IniFile::Section { { "k", "v" } }));
}

TEST(IniFile, CanonicalText)
{
    IniFile file;
    file.value("app", "k") = "v";
    EXPECT_EQ(file.toText(), "[app]\nk = v\n\n");

    file.value("B", "z") = "1";
    file.value("app", "a") = "2";
    file.value("\xC3\xA9", "x") = "3"; // bytes above 0x7F sort after ASCII
    EXPECT_EQ(file.toText(), "[B]\nz = 1\n\n[app]\na = 2\nk = v\n\n[\xC3\xA9]\nx = 3\n\n");
}

TEST(IniFile, ValueCreatesHasKeyDoesNot)
{
    IniFile file;
    EXPECT_FALSE(file.hasKey("app", "k"));
    EXPECT_TRUE(file.sections().empty());
    file.value("app", "k");
    EXPECT_TRUE(file.hasKey("app", "k"));
    EXPECT_EQ(file.toText(), "[app]\nk = \n\n");
}

TEST(IniFile, LoadAndSaveThroughFiles)
{
    TempDir dir;
    test::writeFile(dir / "config.ini", "[app]\nk=v\n");
    IniFile file(dir / "config.ini");
    EXPECT_EQ(file.path(), dir / "config.ini");
    file.value("app", "new") = "1";
    ASSERT_TRUE(file.save(dir / "config.ini"));
    EXPECT_EQ(test::readFile(dir / "config.ini"), "[app]\nk = v\nnew = 1\n\n");

    IniFile missing;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(missing.load(dir / "absent.ini"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "loading file failed: " + (dir / "absent.ini").string() + " is not found.\n");
}

TEST(IniFile, SaveIntoAMissingFolderFails)
{
    TempDir dir;
    IniFile file;
    file.value("a", "b") = "c";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(file.save(dir / "no" / "such.ini"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "opening file failed: " + (dir / "no" / "such.ini").string() + ".\n");
}
