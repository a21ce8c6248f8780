// Who listens on a loopback port: the socket tables' text, the owner rule, and the start page that
// trusts a loopback server only when it is this user's.
#include "window/StartPage.h"
#include "platform/ListeningSockets.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tvn;
using namespace tvn::platform;

namespace {

// A TCP socket listening on 127.0.0.1 at a port the kernel picks.
struct Listener {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
    Listener()
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(fd, 1) == 0
            && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
    }
    ~Listener() { close(fd); }
};

std::array<uint8_t, 16> ipv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, a, b, c, d };
}

} // namespace

TEST(ListeningSockets, ReadsTheTables)
{
    const std::string tcp =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 1 1 0 100 0 0 10 0\n"
        "   1: 00000000:0050 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 2 1 0 100 0 0 10 0\n"
        "   2: 0100007F:1F91 0100007F:D2C4 01 00000000:00000000 00:00000000 00000000  1000        0 3 1 0 100 0 0 10 0\n"
        "   3: garbage\n";
    const auto sockets = parseListeningSockets(tcp);
    ASSERT_EQ(sockets.size(), 2u); // the established connection and the garbage are not listeners
    EXPECT_EQ(sockets[0].address, ipv4(127, 0, 0, 1));
    EXPECT_EQ(sockets[0].port, 8080);
    EXPECT_EQ(sockets[0].owner, 1000u);
    EXPECT_EQ(sockets[1].address, ipv4(0, 0, 0, 0));
    EXPECT_EQ(sockets[1].port, 80);

    const auto tcp6 = parseListeningSockets(
        "   0: 00000000000000000000000001000000:1F90 00000000000000000000000000000000:0000 0A 00000000:00000000 00:00000000 00000000  1001 0 4\n");
    ASSERT_EQ(tcp6.size(), 1u);
    std::array<uint8_t, 16> ipv6Loopback {};
    ipv6Loopback[15] = 1;
    EXPECT_EQ(tcp6[0].address, ipv6Loopback);
    EXPECT_EQ(tcp6[0].owner, 1001u);
}

TEST(ListeningSockets, OwnerOfWhatTakesTheConnection)
{
    const auto local = loopbackAddresses("127.0.0.1");
    std::vector<ListeningSocket> sockets = { { ipv4(127, 0, 0, 1), 8080, 1000 }, { ipv4(127, 0, 0, 2), 8080, 1001 } };
    EXPECT_EQ(listenerOwner(sockets, local, 8080), 1000u);
    EXPECT_EQ(listenerOwner(sockets, local, 8081), std::nullopt); // nobody listens there
    EXPECT_EQ(listenerOwner(sockets, loopbackAddresses("127.0.0.2"), 8080), 1001u);

    // A wildcard socket of another user could take the connection too: no single owner.
    sockets.push_back({ ipv4(0, 0, 0, 0), 8080, 1002 });
    EXPECT_EQ(listenerOwner(sockets, local, 8080), std::nullopt);
    sockets.back().owner = 1000;
    EXPECT_EQ(listenerOwner(sockets, local, 8080), 1000u);

    // "localhost" may go to either loopback address; both must be the same user's.
    std::array<uint8_t, 16> ipv6Loopback {};
    ipv6Loopback[15] = 1;
    sockets = { { ipv4(127, 0, 0, 1), 80, 1000 }, { ipv6Loopback, 80, 1001 } };
    EXPECT_EQ(listenerOwner(sockets, loopbackAddresses("LocalHost"), 80), std::nullopt);
    EXPECT_EQ(listenerOwner(sockets, loopbackAddresses("[::1]"), 80), 1001u);

    EXPECT_TRUE(loopbackAddresses("128.0.0.1").empty());
    EXPECT_TRUE(loopbackAddresses("example.com").empty());
}

// The start page on a loopback port is taken when this user listens there, and refused (the pack
// shown instead) when nobody does or another user holds the port.
TEST(ListeningSockets, StartPageOnAPortOfAnotherUser)
{
    test::TempDir dir;
    test::writeFile(dir / "dist.pak", "pak");
    const auto startPage = [&](uint16_t port) {
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/index.html";
        test::writeFile(dir / "url.txt", url);
        return chooseStartPage(dir.path(), "").url == url;
    };

    {
        Listener ours;
        ASSERT_NE(ours.port, 0);
        EXPECT_EQ(loopbackListenerOwner("127.0.0.1", ours.port), getuid());
        EXPECT_TRUE(startPage(ours.port));
        close(ours.fd);
        ours.fd = -1;
        EXPECT_FALSE(startPage(ours.port)); // nobody listens any more
    }

    if (getuid() != 0)
        GTEST_SKIP() << "another user's socket needs root to make";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        // Only system calls from here: another thread may hold a lock at the fork.
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        Listener theirs;
        if (write(ready[1], &theirs.port, sizeof theirs.port) != sizeof theirs.port)
            _exit(1);
        pause();
        _exit(0);
    }
    uint16_t port = 0;
    ASSERT_EQ(read(ready[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    EXPECT_EQ(loopbackListenerOwner("127.0.0.1", port), 65534u);
    EXPECT_FALSE(startPage(port));
    const std::string log = chooseStartPage(dir.path(), "").logLines.front();
    EXPECT_EQ(log, "url.txt refused, its port is not this user's, http://127.0.0.1:" + std::to_string(port) + "/index.html");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}
