// The single-instance lock and its activation socket. Each test runs in a process of its own.
#include "platform/LocalSocket.h"
#include "platform/SingleInstance.h"

#include "tests/support/MainLoop.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tvn;
using platform::SingleInstance;

TEST(SingleInstance, SecondStartAsksTheFirst)
{
    test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    SingleInstance first("tvn-test-instance");
    ASSERT_TRUE(first.isFirst());
    std::atomic<int> activations { 0 };
    ASSERT_TRUE(first.listen([&] { ++activations; }));

    // The later start asks from another thread while this one runs the main loop, as the first
    // instance's GTK loop would.
    std::atomic<bool> answered { false }, done { false };
    std::thread second([&] {
        SingleInstance later("tvn-test-instance");
        EXPECT_FALSE(later.isFirst());
        answered = later.activateFirst();
        done = true;
    });
    test::runLoopUntil(done);
    second.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(activations, 1);

    SingleInstance other("tvn-other-copy"); // another executable path: its own name
    EXPECT_TRUE(other.isFirst());
}

TEST(SingleInstance, NoListenerYetMeansNoActivation)
{
    test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    SingleInstance first("tvn-test-instance");
    SingleInstance later("tvn-test-instance");
    EXPECT_FALSE(later.isFirst());
    EXPECT_FALSE(later.activateFirst()); // the first has no window yet: start as usual
}

// A first instance that died leaves its files; they do not block the next start.
TEST(SingleInstance, StaleLockDoesNotBlock)
{
    test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    const pid_t child = fork();
    if (child == 0) {
        SingleInstance dying("tvn-test-instance");
        dying.listen([] { });
        _exit(dying.isFirst() ? 0 : 1); // no destructor: the files stay behind
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "tvn-test-instance.sock"));

    SingleInstance next("tvn-test-instance");
    EXPECT_TRUE(next.isFirst());
    EXPECT_TRUE(next.listen([] { }));
}

// A client that connects and says nothing neither freezes the first instance nor keeps a later
// start from being answered; it is let go.
TEST(SingleInstance, AStalledClientBlocksNothing)
{
    test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    SingleInstance first("tvn-test-instance");
    std::atomic<int> activations { 0 };
    ASSERT_TRUE(first.listen([&] { ++activations; }));

    std::atomic<bool> answered { false }, stalledLetGo { false }, done { false };
    std::thread others([&] {
        const int stalled = platform::connectLocalSocket(dir / "tvn-test-instance.sock");
        SingleInstance later("tvn-test-instance");
        answered = later.activateFirst();
        char c = 0;
        stalledLetGo = ::recv(stalled, &c, 1, 0) == 0;
        ::close(stalled);
        done = true;
    });
    test::runLoopUntil(done);
    others.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(stalledLetGo);
}
