// Sockets between the user's own processes: the folder they live in, who may connect, and what a
// misbehaving client can do to the server's loop (nothing). The test's main thread runs the GLib
// loop the server answers on; clients are threads, or a child process under another user.
#include "platform/LocalSocket.h"
#include "platform/RuntimeFolder.h"

#include "tests/support/MainLoop.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tvn;
using test::runLoopUntil;
using namespace tvn::platform;

namespace {

// One request on a raw socket: the reply line, or "" when the server closed the connection.
std::string ask(int fd, const std::string& request)
{
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return "";
    std::string reply;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n')
        reply += c;
    return reply;
}

// Whether the server has closed `fd` (it reads the end of the stream).
bool closedByServer(int fd)
{
    char c = 0;
    return ::recv(fd, &c, 1, 0) == 0;
}

} // namespace

TEST(RuntimeFolder, OnlyAFolderOfTheUsersOwnClosedToOthers)
{
    test::TempDir dir; // mkdtemp makes it 0700
    const uid_t me = ::getuid();
    EXPECT_EQ(checkPrivateFolder(dir.path(), me), FolderCheck::Private);
    EXPECT_EQ(checkPrivateFolder(dir.path(), me + 1), FolderCheck::WrongOwner);
    EXPECT_EQ(checkPrivateFolder(dir / "missing", me), FolderCheck::Missing);

    std::filesystem::create_symlink(dir.path(), dir / "link");
    EXPECT_EQ(checkPrivateFolder(dir / "link", me), FolderCheck::NotAFolder); // even to a good folder
    test::writeFile(dir / "file", "");
    EXPECT_EQ(checkPrivateFolder(dir / "file", me), FolderCheck::NotAFolder);
    std::filesystem::create_directory(dir / "open");
    ::chmod((dir / "open").c_str(), 0710);
    EXPECT_EQ(checkPrivateFolder(dir / "open", me), FolderCheck::OpenToOthers);

    // XDG_RUNTIME_DIR is used only when it is private; else the user's own folder under /tmp.
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(runtimeFolder().path, dir.path());
    setenv("XDG_RUNTIME_DIR", (dir / "open").c_str(), 1);
    const RuntimeFolder fallback = runtimeFolder();
    EXPECT_EQ(fallback.path, "/tmp/tvn-" + std::to_string(me));
    EXPECT_TRUE(fallback.usable());
    EXPECT_EQ(checkPrivateFolder(fallback.path, me), FolderCheck::Private);
}

TEST(LocalSocket, PeersOfAnotherUserAreRefused)
{
    EXPECT_TRUE(acceptPeer(1000, 1000));
    EXPECT_FALSE(acceptPeer(1001, 1000));
    EXPECT_FALSE(acceptPeer(std::nullopt, 1000));
    if (::getuid() != 0)
        GTEST_SKIP() << "another user needs root to become";

    // A socket anyone could reach (open folder, open file): the peer check alone keeps them out.
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    LocalSocketServer server;
    ASSERT_TRUE(server.listen(dir / "open.sock", {}, [](std::string_view line) { return "re:" + std::string(line); }));
    ::chmod(server.path().c_str(), 0777);

    // The child only makes system calls: after a fork of a process with threads, an allocator
    // lock (a sanitizer's, say) may be held by a thread the child does not have.
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, server.path().c_str(), sizeof(address.sun_path) - 1);
    const pid_t child = fork();
    if (child == 0) {
        if (::setuid(65534) != 0)
            _exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
            _exit(3);
        const char request[] = "hello\n";
        char reply[16];
        // The server may have let the connection go before the request is sent: dropped too.
        if (::send(fd, request, sizeof(request) - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(request) - 1))
            _exit(0);
        _exit(::recv(fd, reply, sizeof(reply), 0) <= 0 ? 0 : 1); // dropped (closed or reset), never answered
    }
    std::atomic<bool> done { false };
    int status = 0;
    std::thread waiter([&] { waitpid(child, &status, 0); done = true; });
    runLoopUntil(done);
    if (!done)
        kill(child, SIGKILL); // the waiter then ends; the test fails below
    waiter.join();
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // The same user is answered.
    std::string reply;
    done = false;
    std::thread client([&] {
        const int fd = connectLocalSocket(server.path());
        reply = ask(fd, "hello\n");
        ::close(fd);
        done = true;
    });
    runLoopUntil(done);
    client.join();
    EXPECT_EQ(reply, "re:hello");
}

// A line over the limit, or one that never comes, ends that connection only; the loop answers on.
TEST(LocalSocket, OversizedAndStalledClientsAreLetGo)
{
    test::TempDir dir;
    LocalSocketServer server;
    ASSERT_TRUE(server.listen(dir / "s.sock", { 100, std::chrono::milliseconds(200) }, [](std::string_view line) { return "re:" + std::string(line); }));

    std::atomic<bool> done { false };
    bool oversizedClosed = false, longLineClosed = false, stalledClosed = false;
    std::string replyMeanwhile, replyAtLimit;
    std::thread clients([&] {
        const int stalled = connectLocalSocket(server.path());
        const int oversized = connectLocalSocket(server.path());
        const std::string big(150, 'x'); // no newline: the server must not keep reading for one
        ::send(oversized, big.data(), big.size(), MSG_NOSIGNAL);
        oversizedClosed = closedByServer(oversized);
        const int longLine = connectLocalSocket(server.path());
        longLineClosed = ask(longLine, std::string(101, 'y') + "\n").empty();

        const int good = connectLocalSocket(server.path());
        replyMeanwhile = ask(good, "still here\n");
        replyAtLimit = ask(good, std::string(100, 'z') + "\n");
        stalledClosed = closedByServer(stalled); // after its 200 ms
        for (int fd : { stalled, oversized, longLine, good })
            ::close(fd);
        done = true;
    });
    runLoopUntil(done);
    clients.join();
    EXPECT_TRUE(oversizedClosed);
    EXPECT_TRUE(longLineClosed);
    EXPECT_TRUE(stalledClosed);
    EXPECT_EQ(replyMeanwhile, "re:still here");
    EXPECT_EQ(replyAtLimit, "re:" + std::string(100, 'z'));
}

// The window channel's own limits: no stall limit for an idle connection (a web process keeps one
// open between requests), yet a line longer than the limit still ends its connection, and so does
// a line begun and never finished. Connections past the cap are closed at once; the others go on.
TEST(LocalSocket, LineLimitsWithoutAStallLimitAndTheConnectionCap)
{
    test::TempDir dir;
    LocalSocketServer server;
    LocalSocketServer::Limits limits;
    limits.maxLine = 100;
    limits.lineStall = std::chrono::milliseconds(200);
    limits.maxConnections = 3;
    ASSERT_TRUE(server.listen(dir / "s.sock", limits, [](std::string_view line) { return "re:" + std::string(line); }));

    std::atomic<bool> done { false };
    bool longLineClosed = false, halfLineClosed = false, pastCapClosed = false;
    std::string idleReply, freedReply;
    std::thread clients([&] {
        const int idle = connectLocalSocket(server.path());
        const int longLine = connectLocalSocket(server.path());
        longLineClosed = ask(longLine, std::string(101, 'y') + "\n").empty();
        ::close(longLine);
        const int half = connectLocalSocket(server.path());
        ::send(half, "begun", 5, MSG_NOSIGNAL);
        const int third = connectLocalSocket(server.path());
        const int pastCap = connectLocalSocket(server.path()); // idle, half, third are open
        pastCapClosed = closedByServer(pastCap);
        halfLineClosed = closedByServer(half); // after its 200 ms
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the idle one outlives any stall limit
        idleReply = ask(idle, "still here\n");
        const int freed = connectLocalSocket(server.path()); // the half line's place
        freedReply = ask(freed, "in\n");
        for (int fd : { idle, half, third, pastCap, freed })
            ::close(fd);
        done = true;
    });
    runLoopUntil(done);
    clients.join();
    EXPECT_TRUE(longLineClosed);
    EXPECT_TRUE(pastCapClosed);
    EXPECT_TRUE(halfLineClosed);
    EXPECT_EQ(idleReply, "re:still here");
    EXPECT_EQ(freedReply, "re:in");
}
