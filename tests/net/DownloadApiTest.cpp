// The heartbeat and download-address calls against the reference server. Each test runs in a
// process of its own, with its configuration and log.
#include "net/DownloadApi.h"

#include "core/EventBus.h"
#include "core/Logging.h"
#include "identity/DeviceId.h"
#include "net/Report.h"
#include "net/ServerConfig.h"

#include "tests/support/LogFile.h"
#include "tests/support/ServerFixture.h"

#include <nlohmann/json.hpp>

using namespace tvn;
using Behaviour = server::Behaviour;

namespace {

class DownloadApiTest : public test::ServerFixture {
protected:
    void SetUp() override
    {
        test::ServerFixture::SetUp();
        log::initialize({ dir / "main.log", log::Severity::Info });
    }

    // The log's messages, without their time, level, thread and function.
    std::vector<std::string> logMessages() const
    {
        std::vector<std::string> messages;
        std::istringstream lines(test::logText(dir / "main.log"));
        for (std::string line; std::getline(lines, line);)
            messages.push_back(line.substr(line.find("] ", line.find("@")) + 2));
        return messages;
    }
};

} // namespace

TEST_F(DownloadApiTest, DownloadAddress)
{
    EXPECT_EQ(getDownloadURLImpl("reference-token", "sys", "x.dll"), "https://" + server->address() + "/files/x.dll");
    const server::RecordedRequest request = server->requests().back();
    EXPECT_EQ(request.target, "/v3/software/downloadUrl?fileName=x.dll&fileType=sys&product=tolvaneFile");
    EXPECT_EQ(request.headers.at("token"), "reference-token");
    EXPECT_EQ(request.headers.at("clientsys"), "tvn");
    EXPECT_EQ(request.headers.at("referer"), refererValue());
    EXPECT_EQ(refererValue().size(), 28u);
    EXPECT_EQ(logMessages(), (std::vector<std::string> { "getDownloadURLImpl begin", "send report ...", "get download ok" }));
}

TEST_F(DownloadApiTest, DownloadAddressFailures)
{
    EXPECT_EQ(getDownloadURLImpl("wrong-token", "sys", "x.dll"), "");
    EXPECT_EQ(logMessages(), (std::vector<std::string> { "getDownloadURLImpl begin", "send report ...",
                                 "get download failed, 401", R"({"code":401,"message":"bad token"})", "getDownloadURLImpl exit" }));

    EXPECT_EQ(getDownloadURLImpl("reference-token", "sys", "absent.dll"), "");
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":[{"url":"https://x"}]})"));
    EXPECT_EQ(getDownloadURLImpl("reference-token", "sys", "x.dll"), "");
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":42}})"));
    EXPECT_EQ(getDownloadURLImpl("reference-token", "sys", "x.dll"), "");
    server->setBehaviour("downloadUrl", Behaviour::badJson());
    EXPECT_EQ(getDownloadURLImpl("reference-token", "sys", "x.dll"), "");
}

TEST_F(DownloadApiTest, HeartbeatGivesTheToken)
{
    std::string token = "old";
    postHeartImpl(token);
    EXPECT_EQ(token, "reference-token");
    const server::RecordedRequest request = server->requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.headers.at("deviceId"), deviceId());
    EXPECT_EQ(request.headers.at("referer"), refererValue());
    EXPECT_EQ(request.headers.at("clientsys"), "tvn");
    EXPECT_EQ(request.headers.at("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(logMessages(), (std::vector<std::string> { "send report ...", "send heart ok", "postHeartImpl  end" }));
}

// Usage reports turned off: the heartbeat still brings the token a download needs, without saying
// which device beats.
TEST_F(DownloadApiTest, WithoutUsageReportsTheHeartbeatLeavesOutTheDevice)
{
    ASSERT_TRUE(allowUsageReports(false));
    std::string token;
    postHeartImpl(token);
    EXPECT_EQ(token, "reference-token");
    EXPECT_EQ(server->requests().back().headers.count("deviceId"), 0u);
    EXPECT_EQ(getDownloadURLImpl(token, "sys", "x.dll"), "https://" + server->address() + "/files/x.dll");
    ASSERT_TRUE(allowUsageReports(true));
    postHeartImpl(token);
    EXPECT_EQ(server->requests().back().headers.at("deviceId"), deviceId());
}

TEST_F(DownloadApiTest, FailedHeartbeatKeepsTheToken)
{
    server->setBehaviour("heart", Behaviour::answer(500, "  server down \n"));
    std::string token = "old";
    postHeartImpl(token);
    EXPECT_EQ(token, "old");
    EXPECT_EQ(logMessages(), (std::vector<std::string> { "send report ...", "send heart failed, 500", "server down", "postHeartImpl  end" }));

    server->setBehaviour("heart", Behaviour::answer(200, ""));
    postHeartImpl(token);
    EXPECT_EQ(token, "old");
}

TEST_F(DownloadApiTest, PeriodicBeatPublishesTheToken)
{
    std::vector<std::string> tokens;
    auto subscription = EventBus::Bus::instance().subscribe("HTTP_GetDownloadToken", [&](const EventBus::Message* message) {
        tokens.push_back(std::get<std::string>(message->values->at(0)));
    });
    heartbeatOnce();
    server->setBehaviour("heart", Behaviour::answer(500, ""));
    heartbeatOnce();
    EventBus::Bus::instance().queue().run();
    EXPECT_EQ(tokens, (std::vector<std::string> { "reference-token", "" }));
}

TEST(DownloadApiUnconfigured, NoServerNoWait)
{
    test::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    log::initialize({ dir / "main.log", log::Severity::Info });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(getDownloadURLImpl("t", "sys", "x.dll"), "");
    std::string token = "kept";
    postHeartImpl(token);
    EXPECT_EQ(token, "kept");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)); // nothing waited for
    const std::string log = test::logText(dir / "main.log");
    EXPECT_NE(log.find("getDownloadURLImpl::connection init failed"), std::string::npos);
    EXPECT_NE(log.find("] connection init failed"), std::string::npos);
}

TEST(ServerConfig, Addresses)
{
    EXPECT_EQ(parseServerAddress("api.example").host, "api.example");
    EXPECT_EQ(parseServerAddress("api.example").port, 443);
    EXPECT_EQ(parseServerAddress("127.0.0.1:8443").host, "127.0.0.1");
    EXPECT_EQ(parseServerAddress("127.0.0.1:8443").port, 8443);
    EXPECT_EQ(parseServerAddress("host:0").host, "host:0");
    EXPECT_EQ(parseServerAddress("host:99999").host, "host:99999");
    EXPECT_EQ(parseServerAddress("host:x").host, "host:x");
}

// The answer's size and digest travel with the address; a digest of 64 characters that are not
// all hex digits is refused as one of the wrong length is.
TEST_F(DownloadApiTest, SizeAndDigestOfTheAnswer)
{
    const std::string digest(64, 'A');
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":"https://h/x","sha256":")" + digest + R"(","size":1234}})"));
    DownloadAddress address = getDownloadAddress("reference-token", "sys", "x.dll");
    EXPECT_EQ(address.url, "https://h/x");
    EXPECT_EQ(address.sha256, std::string(64, 'a'));
    EXPECT_EQ(address.size, 1234u);

    for (const char* size : { "-1", "1.5", "\"1234\"", "null" }) {
        server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":"https://h/x","size":)" + std::string(size) + "}}"));
        EXPECT_EQ(getDownloadAddress("reference-token", "sys", "x.dll").size, 0u) << size;
    }
    for (const std::string& bad : { std::string(63, 'a') + "g", std::string(63, 'a'), std::string(65, 'a') }) {
        server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":"https://h/x","sha256":")" + bad + R"("}})"));
        EXPECT_EQ(getDownloadAddress("reference-token", "sys", "x.dll").url, "") << bad;
    }
}

// Mirrors come in their order; what is not an address string is left out, and so is any past the
// most taken.
TEST_F(DownloadApiTest, MirrorsOfTheAnswer)
{
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":"https://h/x","mirrors":["https://m1/x",7,"","https://m2/x"]}})"));
    EXPECT_EQ(getDownloadAddress("reference-token", "sys", "x.dll").sources(), std::vector<std::string>({ "https://h/x", "https://m1/x", "https://m2/x" }));
    server->setBehaviour("downloadUrl", Behaviour::answer(200, R"({"data":{"url":"https://h/x","mirrors":"https://m1/x"}})"));
    EXPECT_TRUE(getDownloadAddress("reference-token", "sys", "x.dll").mirrors.empty());
    nlohmann::json many = nlohmann::json::array();
    for (size_t i = 0; i <= kMaxMirrors; ++i)
        many.push_back("https://m" + std::to_string(i) + "/x");
    server->setBehaviour("downloadUrl", Behaviour::answer(200, nlohmann::json { { "data", { { "url", "https://h/x" }, { "mirrors", many } } } }.dump()));
    const DownloadAddress address = getDownloadAddress("reference-token", "sys", "x.dll");
    ASSERT_EQ(address.mirrors.size(), kMaxMirrors);
    EXPECT_EQ(address.mirrors.back(), "https://m" + std::to_string(kMaxMirrors - 1) + "/x");
}

// Without a digest only https on the API server's host or a configured host; with one, any http or
// https host. Schemes and hosts compare without regard to case, as curl and DNS read them.
TEST(DownloadAddressRule, HostsAndDigests)
{
    const std::vector<std::string> trusted = { "Files.Example" };
    const auto refusal = [&](std::string url, std::string sha256 = {}) {
        return downloadAddressRefusal({ std::move(url), std::move(sha256), 0, {} }, "api.example", trusted);
    };
    for (const char* accepted : { "https://api.example/x.dll", "HTTPS://API.example:8443/x.dll", "Https://files.example/x.dll" })
        EXPECT_EQ(refusal(accepted), std::nullopt) << accepted;
    EXPECT_EQ(refusal("https://other.example/x.dll"), "no digest and host not trusted: other.example");
    EXPECT_EQ(refusal("https://api.example.evil.example/x.dll"), "no digest and host not trusted: api.example.evil.example");
    EXPECT_EQ(refusal("https://files.example@other.example/x.dll"), "no digest and host not trusted: other.example");
    EXPECT_EQ(refusal("http://api.example/x.dll"), "no digest and not https: api.example");
    EXPECT_EQ(refusal("HTTP://api.example/x.dll"), "no digest and not https: api.example");
    EXPECT_EQ(refusal("https://api.example\\@other.example/x.dll"), "not a url: https://api.example\\@other.example/x.dll");
    EXPECT_EQ(refusal("https://x@api.example@other.example/x.dll"), "not a url: https://x@api.example@other.example/x.dll");

    const std::string digest(64, 'a');
    EXPECT_EQ(refusal("https://other.example/x.dll", digest), std::nullopt);
    EXPECT_EQ(refusal("HTTP://other.example/x.dll", digest), std::nullopt);
    EXPECT_EQ(refusal("ftp://api.example/x.dll", digest), "not http or https: ftp");
    EXPECT_EQ(refusal("file:///etc/passwd", digest), "not a url: file:///etc/passwd");
}
