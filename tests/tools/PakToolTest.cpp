// tvn-pak as a user runs it: pack a folder, list and verify the pack, read it back.
#include "pak/PakArchive.h"

#include "tests/support/TempDir.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace tvn;
using test::TempDir;

namespace {

struct ToolRun {
    int status;
    std::string output; // standard output and error together
};

ToolRun runTool(const std::string& arguments)
{
    const std::string command = std::string(TVN_PAK_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> buffer;
    for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, output };
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

void makeSite(const std::filesystem::path& root)
{
    std::filesystem::create_directories(root / "js" / "vendor");
    std::filesystem::create_directories(root / "empty-folder");
    test::writeFile(root / "index.html", "<!doctype html><script src=\"my file.js\"></script>");
    test::writeFile(root / "my file.js", "console.log('spaced')");
    test::writeFile(root / "js" / "app.js", std::string(20000, 'a'));
    test::writeFile(root / "js" / "vendor" / "lib?.js", "odd name");
    test::writeFile(root / "100%.txt", "percent");
}

} // namespace

TEST(PakTool, PackListVerifyAndRead)
{
    TempDir dir;
    makeSite(dir / "site");
    ASSERT_EQ(runTool("pack " + quoted(dir / "site") + " " + quoted(dir / "dist.pak")).status, 0);

    const ToolRun list = runTool("list " + quoted(dir / "dist.pak"));
    ASSERT_EQ(list.status, 0) << list.output;
    std::istringstream lines(list.output);
    std::vector<std::string> names;
    for (std::string name, size, stored; lines >> name >> size >> stored;) {
        names.push_back(name);
        if (name == "js/app.js") {
            EXPECT_EQ(size, "20000");
            EXPECT_LT(std::stoi(stored), 200);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string> { "100%25.txt", "index.html", "js/app.js", "js/vendor/lib%3F.js", "my%20file.js" }));

    const ToolRun verify = runTool("verify " + quoted(dir / "dist.pak"));
    EXPECT_EQ(verify.status, 0) << verify.output;

    // The names are those the URLs of the page carry.
    PakArchive archive;
    ASSERT_EQ(archive.open(dir / "dist.pak"), PakStatus::Ok);
    EXPECT_EQ(archive.read("my%20file.js").bytes, "console.log('spaced')");
    EXPECT_EQ(archive.read("js/vendor/lib%3F.js").bytes, "odd name");
    EXPECT_EQ(archive.read("100%25.txt").bytes, "percent");
}

TEST(PakTool, SameInputSameBytes)
{
    TempDir dir;
    makeSite(dir / "one");
    makeSite(dir / "two");
    std::filesystem::last_write_time(dir / "two" / "index.html", std::filesystem::file_time_type::clock::now() - std::chrono::hours(5));
    ASSERT_EQ(runTool("pack " + quoted(dir / "one") + " " + quoted(dir / "one.pak")).status, 0);
    ASSERT_EQ(runTool("pack " + quoted(dir / "two") + " " + quoted(dir / "two.pak")).status, 0);
    EXPECT_EQ(test::readFile(dir / "one.pak"), test::readFile(dir / "two.pak"));
}

TEST(PakTool, VerifyNamesTheFirstFault)
{
    TempDir dir;
    makeSite(dir / "site");
    ASSERT_EQ(runTool("pack " + quoted(dir / "site") + " " + quoted(dir / "dist.pak")).status, 0);

    std::string bytes = test::readFile(dir / "dist.pak");
    bytes.back() ^= 0x10; // the last stored byte belongs to the last entry, my%20file.js
    test::writeFile(dir / "data.pak", bytes);
    ToolRun verify = runTool("verify " + quoted(dir / "data.pak"));
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.output.find("my%20file.js: entry digest mismatch"), std::string::npos) << verify.output;

    bytes = test::readFile(dir / "dist.pak");
    bytes[10] ^= 0x10;
    test::writeFile(dir / "index.pak", bytes);
    verify = runTool("verify " + quoted(dir / "index.pak"));
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.output.find("index signature mismatch"), std::string::npos) << verify.output;
}

TEST(PakTool, BadUse)
{
    TempDir dir;
    EXPECT_EQ(runTool("").status, 2);
    EXPECT_EQ(runTool("unpack x").status, 2);
    const ToolRun missing = runTool("pack " + quoted(dir / "absent") + " " + quoted(dir / "out.pak"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("not a folder"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pak"));
    EXPECT_EQ(runTool("verify " + quoted(dir / "absent.pak")).status, 1);
}
