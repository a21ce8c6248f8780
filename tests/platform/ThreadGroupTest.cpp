// Owned threads: a group joins what it started, wakes waits with its stop, and gathers threads that
// ended on their own; a stopped copy leaves nothing behind.
#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/StopEvent.h"
#include "platform/ThreadGroup.h"
#include "tests/support/Eventually.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tvn;
using namespace tvn::platform;

TEST(ThreadGroup, StopWakesEveryThreadAndJoinsIt)
{
    std::atomic<int> ended { 0 };
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const FileDescriptor readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
    {
        ThreadGroup group;
        // One thread polls its token, one waits on a pipe nobody writes to.
        group.start([&ended](std::stop_token stop) {
            while (!stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++ended;
        });
        group.start([&ended, fd = readEnd.get()](std::stop_token stop) {
            const StopEvent stopEvent(stop);
            EXPECT_FALSE(waitReadable(fd, stopEvent, stop)); // the stop, not the pipe, ended the wait
            ++ended;
        });
        EXPECT_EQ(group.running(), 2u);
        group.stop();
        EXPECT_EQ(ended, 2); // joined: both had ended when stop() returned
        EXPECT_EQ(group.running(), 0u);

        // The group starts threads again after a stop; its end joins them.
        group.start([&ended](std::stop_token stop) {
            while (!stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++ended;
        });
    }
    EXPECT_EQ(ended, 3);
}

// Threads that end on their own stop counting as running; the next start joins them (a race there
// would show under ThreadSanitizer).
TEST(ThreadGroup, ThreadsThatEndOnTheirOwnStopCounting)
{
    ThreadGroup group;
    std::atomic<int> ran { 0 };
    for (int i = 0; i < 50; ++i)
        group.start([&ran](std::stop_token) { ++ran; });
    ASSERT_TRUE(test::eventually([&] { return group.running() == 0; }));
    EXPECT_EQ(ran, 50);
    group.start([](std::stop_token) { });
    group.stop();
}

TEST(StopEvent, AReadyDescriptorIsToldBeforeAnyStop)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const FileDescriptor readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
    ASSERT_EQ(::write(writeEnd.get(), "x", 1), 1);
    std::stop_source source;
    const StopEvent stopEvent(source.get_token());
    EXPECT_TRUE(waitReadable(readEnd.get(), stopEvent, source.get_token()));
    // A stop asked before the wait: the wait does not begin.
    source.request_stop();
    const StopEvent stopped(source.get_token());
    EXPECT_FALSE(waitReadable(readEnd.get(), stopped, source.get_token()));
}

TEST(FileCopy, AStoppedCopyLeavesNoPartialFile)
{
    test::TempDir dir;
    {
        std::ofstream big(dir / "big.bin", std::ios::binary);
        const std::string block(1 << 20, 'b');
        for (int i = 0; i < 64; ++i)
            big << block;
    }
    std::stop_source source;
    int reports = 0;
    // The stop comes with the first progress report: the copy is under way.
    const bool copied = copyWithProgress(
        (dir / "big.bin").string(), (dir / "copy.bin").string(),
        [&](int64_t, int64_t) {
            ++reports;
            source.request_stop();
        },
        source.get_token());
    EXPECT_FALSE(copied);
    EXPECT_GE(reports, 1);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "big.bin"); // neither the copy nor its temporary
}
