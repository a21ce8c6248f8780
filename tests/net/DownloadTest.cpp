// fetchUrlToFile against the reference server's files.
#include "net/Download.h"

#include "tests/support/PageServer.h"
#include "tests/support/ServerFixture.h"

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tvn;

namespace {

class DownloadTest : public test::ServerFixture {
protected:
    std::string fileUrl(const std::string& name) const { return "https://" + server->address() + "/files/" + name; }

    size_t filesIn(const std::filesystem::path& folder) const
    {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }
};

} // namespace

TEST_F(DownloadTest, DownloadsIntoNewFoldersWithProgress)
{
    const std::string content(3 << 20, 'z');
    test::writeFile(dir / "catalog" / "big.bin", content);
    std::vector<std::pair<uint64_t, uint64_t>> reports;
    const auto target = dir / "out" / "deeper" / "big.bin";
    EXPECT_EQ(fetchUrlToFile([&](uint64_t current, uint64_t total) { reports.emplace_back(current, total); }, {}, fileUrl("big.bin"), target), 0);
    EXPECT_EQ(test::readFile(target), content);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(uint64_t(content.size()), uint64_t(content.size())));
    EXPECT_EQ(filesIn(target.parent_path()), 1u); // no temporary file left

    // Without callables too, and over an existing file.
    test::writeFile(dir / "out" / "x.dll", "old");
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("x.dll"), dir / "out" / "x.dll"), 0);
    EXPECT_EQ(test::readFile(dir / "out" / "x.dll"), "MZ library bytes");
}

TEST_F(DownloadTest, FailuresLeaveTheOldFileWhole)
{
    std::filesystem::create_directories(dir / "out");
    const auto target = dir / "out" / "x.dll";
    test::writeFile(target, "the good old library");

    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("missing.dll"), target), kDownloadFailed);
    EXPECT_EQ(test::readFile(target), "the good old library");
    EXPECT_EQ(filesIn(dir / "out"), 1u);

    test::writeFile(dir / "catalog" / "big.bin", std::string(8 << 20, 'y'));
    int reports = 0;
    EXPECT_EQ(fetchUrlToFile([&](uint64_t, uint64_t) { ++reports; }, [] { return true; }, fileUrl("big.bin"), target), kDownloadAborted);
    EXPECT_EQ(reports, 1); // the cancel is seen at the first report
    EXPECT_EQ(test::readFile(target), "the good old library");
    EXPECT_EQ(filesIn(dir / "out"), 1u);

    const HttpConnection closed = connection();
    server->stop();
    EXPECT_EQ(fetchUrlToFile({}, {}, "https://" + closed.host + ":" + std::to_string(closed.port) + "/files/x.dll", target),
        kDownloadCannotConnect);
    EXPECT_EQ(test::readFile(target), "the good old library");
}

TEST_F(DownloadTest, FolderThatCannotBeMade)
{
    test::writeFile(dir / "plain-file", "x");
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("x.dll"), dir / "plain-file" / "sub" / "x.dll"), kDownloadNoFolder);
}

// What the system's parser refuses is never handed to curl, which would read it its own way.
TEST_F(DownloadTest, AddressesTheParserRefusesAreNotFetched)
{
    for (const std::string& url : std::vector<std::string> { "https://" + server->address() + "\\@localhost/files/x.dll", "https://x@localhost@" + server->address() + "/files/x.dll",
             "ftp://" + server->address() + "/x.dll", "file:///etc/hostname", "not a url" })
        EXPECT_EQ(fetchUrlToFile({}, {}, url, dir / "out" / "x.dll"), kDownloadError) << url;
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "x.dll"));
    EXPECT_EQ(fetchUrlToFile({}, {}, "HTTPS://" + server->address() + "/files/x.dll", dir / "out" / "x.dll"), 0); // any case
}

TEST_F(DownloadTest, UntrustedServerIsRefused)
{
    test::writeFile(dir / "config" / "tvn" / "config.ini", "[server]\n"); // no extra authority
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("x.dll"), dir / "out" / "x.dll"), kDownloadError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "x.dll"));
}

// A transfer that began over TLS may be redirected over TLS only.
TEST_F(DownloadTest, RedirectsStayOnTls)
{
    test::writeFile(dir / "catalog" / "x.dll", "the library");
    test::PageServer plain;
    plain.addPage("x.dll", "from anyone on the path");

    server->setBehaviour("files", server::Behaviour::redirect(plain.url() + "/x.dll"));
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("y.dll"), dir / "out" / "x.dll"), kDownloadError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "x.dll"));
    // The scheme in any case is the same scheme, as curl reads it.
    EXPECT_EQ(fetchUrlToFile({}, {}, "HTTPS://" + server->address() + "/files/y.dll", dir / "out" / "x.dll"), kDownloadError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "x.dll"));

    // Plain http may still be followed when the transfer began there (an address that came with a
    // digest to check), and onto TLS as well.
    server->setBehaviour("files", server::Behaviour {});
    EXPECT_EQ(fetchUrlToFile({}, {}, plain.url() + "/x.dll", dir / "out" / "x.dll"), 0);
    EXPECT_EQ(test::readFile(dir / "out" / "x.dll"), "from anyone on the path");
}

// A server on 127.0.0.1 that answers one connection with `answer` (given the connection), on a
// thread of its own, joined when it goes.
class OneShotServer {
public:
    explicit OneShotServer(std::function<void(int)> answer)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(m_listener, 1) == 0)
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, answer = std::move(answer)] {
            const int connection = accept(m_listener, nullptr, nullptr);
            char request[4096];
            [[maybe_unused]] const ssize_t read = recv(connection, request, sizeof(request), 0);
            answer(connection);
            close(connection);
        });
    }
    ~OneShotServer()
    {
        m_thread.join();
        close(m_listener);
    }
    std::string url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(m_port) + "/" + name; }

    static bool sendText(int connection, const std::string& text)
    {
        return send(connection, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }

private:
    int m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    uint16_t m_port = 0;
    std::thread m_thread;
};

// A server that sends more than the length it declared gets no more than that length written.
TEST_F(DownloadTest, NoMoreThanTheDeclaredLength)
{
    OneShotServer server([](int connection) {
        OneShotServer::sendText(connection, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\n12345" + std::string(100000, 'z'));
    });
    EXPECT_EQ(fetchUrlToFile({}, {}, server.url("x.dll"), dir / "out" / "x.dll"), 0);
    EXPECT_EQ(test::readFile(dir / "out" / "x.dll"), "12345");
}

// A file larger than the limit fails and leaves the old file whole: announced (refused before a
// byte is written) or not announced (cut off where it passes the limit). A file of exactly the
// limit is taken.
TEST_F(DownloadTest, NoMoreThanTheLimit)
{
    std::filesystem::create_directories(dir / "out");
    const auto target = dir / "out" / "x.dll";
    test::writeFile(target, "old");
    test::writeFile(dir / "catalog" / "big.bin", std::string(100000, 'b'));
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("big.bin"), target, {}, { 99999 }), kDownloadError);
    EXPECT_EQ(test::readFile(target), "old");
    EXPECT_EQ(fetchUrlToFile({}, {}, fileUrl("big.bin"), target, {}, { 100000 }), 0);
    EXPECT_EQ(test::readFile(target).size(), 100000u);

    test::writeFile(target, "old");
    {
        OneShotServer server([](int connection) { // no length: the body ends when the connection does
            if (OneShotServer::sendText(connection, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
                for (int piece = 0; piece < 64 && OneShotServer::sendText(connection, std::string(4096, 'u')); ++piece) { }
        });
        EXPECT_EQ(fetchUrlToFile({}, {}, server.url("x.dll"), target, {}, { 10000 }), kDownloadError);
    }
    EXPECT_EQ(test::readFile(target), "old");
    EXPECT_EQ(filesIn(dir / "out"), 1u);
}

// A server that trickles a few bytes a second holds the transfer no longer than the stall limit.
TEST_F(DownloadTest, TrickleEndsAtTheStallLimit)
{
    std::atomic<bool> done = false;
    OneShotServer server([&done](int connection) {
        if (!OneShotServer::sendText(connection, "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n"))
            return;
        // At most a minute: the client goes long before that, or the test has failed anyway.
        for (int tick = 0; tick < 600 && !done && OneShotServer::sendText(connection, "z"); ++tick)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    DownloadLimits limits;
    limits.stallTime = std::chrono::seconds(2);
    EXPECT_EQ(fetchUrlToFile({}, {}, server.url("x.dll"), dir / "out" / "x.dll", {}, limits), kDownloadCannotConnect);
    done = true;
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "x.dll"));
}
