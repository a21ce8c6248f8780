// The window channel between web processes and the UI thread, both ends in one test process: the
// test's main thread runs the GLib loop the server answers on, client threads block on requests.
#include "platform/WindowChannel.h"

#include "tests/support/MainLoop.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <thread>

using namespace tvn;
using test::runLoopUntil;
using platform::WindowChannelClient;
using platform::WindowChannelServer;

namespace {

class WindowChannel : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        ASSERT_TRUE(server.listen([this](std::string_view request) {
            ++requests;
            return "re:" + std::string(request);
        }));
    }

    test::TempDir dir;
    WindowChannelServer server;
    std::atomic<int> requests { 0 };
};

} // namespace

TEST_F(WindowChannel, EachRequestGetsItsOwnReply)
{
    EXPECT_EQ(std::filesystem::path(server.address()).parent_path(), dir.path());
    EXPECT_TRUE(std::filesystem::exists(server.address()));

    std::atomic<bool> done { false };
    std::vector<std::string> replies[2];
    const std::string large(200000, 'x'); // more than a socket buffer holds at once
    std::thread clients([&] {
        WindowChannelClient first(server.address()), second(server.address());
        for (int i = 0; i < 20; ++i) {
            replies[0].push_back(first.request("a" + std::to_string(i)).value_or("-"));
            replies[1].push_back(second.request("b" + std::to_string(i)).value_or("-"));
        }
        replies[0].push_back(first.request(large).value_or("-"));
        done = true;
    });
    runLoopUntil(done);
    clients.join();
    ASSERT_EQ(replies[0].size(), 21u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(replies[0][i], "re:a" + std::to_string(i));
        EXPECT_EQ(replies[1][i], "re:b" + std::to_string(i));
    }
    EXPECT_EQ(replies[0][20], "re:" + large);
    EXPECT_EQ(requests, 41);
}

TEST_F(WindowChannel, AClientThatLeavesDoesNotDisturbTheOthers)
{
    std::atomic<bool> done { false };
    std::optional<std::string> reply;
    std::thread clients([&] {
        {
            WindowChannelClient leaving(server.address());
            leaving.request("one");
        } // gone between requests
        WindowChannelClient staying(server.address());
        reply = staying.request("two");
        done = true;
    });
    runLoopUntil(done);
    clients.join();
    EXPECT_EQ(reply, "re:two");
}

TEST(WindowChannelEnds, NobodyToAnswer)
{
    test::TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(WindowChannelClient("").request("x"), std::nullopt);
    EXPECT_EQ(WindowChannelClient((dir / "no-such.sock").string()).request("x"), std::nullopt);

    // The browser process goes while a web process waits: the wait ends without a reply.
    auto server = std::make_unique<WindowChannelServer>();
    ASSERT_TRUE(server->listen([](std::string_view) { return std::string("answer"); }));
    const std::string address = server->address();
    std::optional<std::string> reply = "unset";
    std::atomic<bool> sent { false };
    std::thread client([&] {
        WindowChannelClient channel(address);
        sent = true;
        reply = channel.request("never answered"); // the loop does not run: no answer comes
    });
    while (!sent)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.reset();
    client.join();
    EXPECT_EQ(reply, std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(address));
}
