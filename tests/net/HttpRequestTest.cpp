// The request layer against the reference server on 127.0.0.1.
#include "net/HttpRequest.h"

#include "tests/support/ServerFixture.h"

#include <chrono>

using namespace tvn;
using Behaviour = server::Behaviour;

namespace {

class HttpRequestTest : public test::ServerFixture { };

server::RecordedRequest lastRequest(const server::ReferenceServer& server)
{
    const auto requests = server.requests();
    return requests.empty() ? server::RecordedRequest() : requests.back();
}

} // namespace

TEST_F(HttpRequestTest, QueryInNameOrderWithEncodedValues)
{
    HttpGetRequest request;
    request.addParam("token", "ignored");
    request.addParam("b", "2");
    request.addParam("a", "1 2&3");
    request.addParam("token", "tok");
    ASSERT_EQ(request.open(connection(), "/v3/software/downloadUrl"), 0);
    ASSERT_EQ(request.send(), 0);
    EXPECT_NE(request.wait().status, 0);
    EXPECT_EQ(lastRequest(*server).target, "/v3/software/downloadUrl?a=1%202%263&b=2&token=tok");

    HttpGetRequest bare;
    ASSERT_EQ(bare.open(connection(), "/v3/software/downloadUrl"), 0);
    ASSERT_EQ(bare.send(), 0);
    bare.wait();
    EXPECT_EQ(lastRequest(*server).target, "/v3/software/downloadUrl?");
}

TEST_F(HttpRequestTest, HeadersOnePerNameInNameOrder)
{
    HttpRawPostRequest request;
    ASSERT_EQ(request.open(connection(), "/v3/software/heart"), 0);
    request.addHeaderLine("  clientsys :  tvn \t");
    request.addHeaderLine("no colon here");
    request.addHeader("token", "first");
    request.addHeader("token", "second");
    ASSERT_EQ(request.send("", "application/x-www-form-urlencoded"), 0);

    std::vector<std::string> names;
    for (const auto& [name, value] : request.requestHeaders())
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string> { "Cache-Control", "Content-Type", "User-Agent", "clientsys", "token" }));

    const HttpResult& result = request.wait();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, R"({"code":0,"data":{"token":"reference-token"}})");
    EXPECT_EQ(result.headers.at("Content-Type"), "application/json");

    const auto received = lastRequest(*server).headers;
    EXPECT_EQ(received.at("clientsys"), "tvn");
    EXPECT_EQ(received.at("token"), "second");
    EXPECT_EQ(received.at("Cache-Control"), "no-cache");
    EXPECT_EQ(received.at("User-Agent"), kUserAgent);
    EXPECT_EQ(received.at("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(received.at("Content-Length"), "0");
    EXPECT_EQ(received.count("Accept"), 0u);
}

TEST_F(HttpRequestTest, ErrorStatusKeepsTheBody)
{
    server->setBehaviour("heart", Behaviour::answer(404, R"({"message":"gone"})"));
    HttpRawPostRequest request;
    ASSERT_EQ(request.open(connection(), "/v3/software/heart"), 0);
    ASSERT_EQ(request.send("x=1", "application/x-www-form-urlencoded"), 0);
    const HttpResult& result = request.wait();
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.text(), R"({"message":"gone"})");
    EXPECT_EQ(lastRequest(*server).body, "x=1");
}

// An answer larger than the layer keeps fails the exchange; one just under the limit is whole.
TEST_F(HttpRequestTest, OversizedAnswerIsARequestError)
{
    const auto post = [&] {
        HttpRawPostRequest request;
        EXPECT_EQ(request.open(connection(), "/v3/software/heart"), 0);
        EXPECT_EQ(request.send("", "text/plain"), 0);
        return request.wait();
    };
    server->setBehaviour("heart", Behaviour::answer(200, std::string(kMaxAnswerBytes + 1, 'x')));
    HttpResult result = post();
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.body.empty());

    server->setBehaviour("heart", Behaviour::answer(200, std::string(kMaxAnswerBytes, 'y')));
    result = post();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body.size(), kMaxAnswerBytes);
}

TEST_F(HttpRequestTest, UntrustedCertificateIsARequestError)
{
    HttpConnection untrusted = connection();
    untrusted.caBundle.clear(); // the reference authority is not among the system's
    HttpRawPostRequest request;
    ASSERT_EQ(request.open(untrusted, "/v3/software/heart"), 0);
    ASSERT_EQ(request.send("", "text/plain"), 0);
    EXPECT_EQ(request.wait().status, 1);
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(HttpRequestTest, NoServerAndNoListener)
{
    HttpGetRequest nowhere;
    EXPECT_EQ(nowhere.open({}, "/x"), kHttpNoServer);
    EXPECT_EQ(nowhere.send(), kHttpWrongOrder);
    EXPECT_EQ(nowhere.wait().status, 2); // never sent

    HttpConnection closed = connection();
    server->stop();
    HttpGetRequest refused;
    ASSERT_EQ(refused.open(closed, "/x"), 0);
    ASSERT_EQ(refused.send(), 0);
    EXPECT_EQ(refused.wait().status, 1);
}

// The one slow test: a server that never answers ends the wait at the time limit.
TEST_F(HttpRequestTest, NoAnswerEndsAtTheTimeLimit)
{
    server->setBehaviour("heart", Behaviour::never());
    HttpRawPostRequest request;
    ASSERT_EQ(request.open(connection(), "/v3/software/heart"), 0);
    ASSERT_EQ(request.send("", "text/plain"), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(request.wait().status, 2);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, kHttpTimeLimitMs);
    EXPECT_LT(elapsed, kHttpTimeLimitMs + 10000); // a bound for a hang, not a timing goal
}
