// The newest log lines of all the processes, in time order, read from the files' ends.
#include "core/LogTail.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(LogTail, LastLinesOfATextReadFromAnywhere)
{
    EXPECT_EQ(lastLines("a\nb\nc\n", 2, false), (std::vector<std::string> { "b", "c" }));
    EXPECT_EQ(lastLines("a\r\nb", 5, false), (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(lastLines("rest of a line\nwhole\n", 5, true), (std::vector<std::string> { "whole" })) << "a read from the middle cuts its first line";
    EXPECT_EQ(lastLines("no newline at all", 5, true), (std::vector<std::string> {}));
    EXPECT_EQ(lastLines("", 5, false), (std::vector<std::string> {}));
}

TEST(LogTail, MergesTheProcessesInTimeOrderKeepingContinuations)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> processes {
        { "main", { "2026-12-09 00:58:14.000 INFO  a", "2026-12-09 00:58:16.000 INFO  c" } },
        { "renderer", { "2026-12-09 00:58:15.000 ERROR b", "  its second line", "2026-12-09 00:58:16.000 INFO  d" } },
    };
    const std::vector<LogLine> all = mergeLogLines(processes, 10);
    std::vector<std::string> order;
    for (const LogLine& line : all)
        order.push_back(line.process + ":" + line.text.substr(line.text.size() - 1));
    EXPECT_EQ(order, (std::vector<std::string> { "main:a", "renderer:b", "renderer:e", "main:c", "renderer:d" }));
    const std::vector<LogLine> newest = mergeLogLines(processes, 2);
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(newest[0], (LogLine { "main", "2026-12-09 00:58:16.000 INFO  c" }));
}

TEST(LogTail, ReadsOnlyTheEndOfEachLogFile)
{
    test::TempDir dir;
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "2026-12-09 00:00:00.000 INFO  line " + std::to_string(i) + "\n"; // 700 KiB
    test::writeFile(dir / "main.log", big);
    test::writeFile(dir / "renderer.log", "2026-12-09 00:00:01.000 INFO  the newest\n");
    test::writeFile(dir / "notes.txt", "2026-12-09 00:00:02.000 not a log\n");
    const std::vector<LogLine> lines = newestLogLines(dir.path(), 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "2026-12-09 00:00:00.000 INFO  line 19998");
    EXPECT_EQ(lines[2], (LogLine { "renderer", "2026-12-09 00:00:01.000 INFO  the newest" }));
    EXPECT_TRUE(newestLogLines(dir / "none", 3).empty());
}
