// What the reference server lets a client do: steer it only with the control token it was given,
// reach no file outside its catalog, and grow its memory no further than its caps.
#include "tools/server/ReferenceServer.h"

#include "tests/support/TempDir.h"
#include "util/Sha256.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

using namespace tvn;
using server::ReferenceServer;

namespace {

struct Served {
    test::TempDir dir;
    std::unique_ptr<ReferenceServer> server;

    explicit Served(std::string controlToken = {}, size_t maxRecorded = 10000)
    {
        std::filesystem::create_directories(dir / "catalog");
        test::writeFile(dir / "catalog" / "x.dll", "MZ");
        test::writeFile(dir / "secret.txt", "secret");
        server = std::make_unique<ReferenceServer>(server::ReferenceServerOptions { dir / "state", dir / "catalog", {}, "t", std::move(controlToken), maxRecorded });
        EXPECT_TRUE(server->start());
    }
    std::unique_ptr<httplib::SSLClient> client() const
    {
        auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", server->port());
        client->set_ca_cert_path(server->authorityFile().c_str());
        return client;
    }
    int control(const std::string& token) const
    {
        httplib::Headers headers;
        if (!token.empty())
            headers.emplace("X-Control-Token", token);
        const auto result = client()->Post("/_control/behaviour?endpoint=heart&kind=status&status=500", headers, "", "text/plain");
        return result ? result->status : -1;
    }
    int heart() const
    {
        const auto result = client()->Post("/v3/software/heart", "", "application/x-www-form-urlencoded");
        return result ? result->status : -1;
    }
};

} // namespace

TEST(ReferenceServer, ControlOnlyWithItsToken)
{
    {
        const Served unsteered; // no token given: no control endpoint at all
        EXPECT_EQ(unsteered.control(""), 404);
        EXPECT_EQ(unsteered.control("anything"), 404);
        EXPECT_EQ(unsteered.heart(), 200);
    }
    const Served steered("s3cret");
    EXPECT_EQ(steered.control(""), 403);
    EXPECT_EQ(steered.control("s3cre"), 403);
    EXPECT_EQ(steered.heart(), 200);
    EXPECT_EQ(steered.control("s3cret"), 200);
    EXPECT_EQ(steered.heart(), 500);
}

TEST(ReferenceServer, FilesOnlyFromTheCatalog)
{
    const Served served;
    const auto client = served.client();
    EXPECT_EQ(client->Get("/files/x.dll")->body, "MZ");
    for (const char* outside : { "/files/..%2Fsecret.txt", "/files/%2E%2E%2Fsecret.txt", "/files/" "%2Fetc%2Fhostname", "/files/.." })
        EXPECT_EQ(client->Get(outside)->status, 404) << outside;
}

// The address the server gives for a file leads to that file, whatever its name holds.
TEST(ReferenceServer, AddressesLeadToTheirFiles)
{
    const Served served;
    const auto client = served.client();
    for (const std::string name : { "libstdc++-6.dll", "a b.dll", "50%.dll", "x%2By.dll" }) {
        test::writeFile(served.dir / "catalog" / name, "bytes of " + name);
        const auto answer = client->Get("/v3/software/downloadUrl?fileName=" + httplib::detail::encode_query_param(name), { { "token", "t" } });
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 200) << name;
        const std::string url = nlohmann::json::parse(answer->body)["data"]["url"];
        const auto file = client->Get(url.substr(url.find("/files/")));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->body, "bytes of " + name) << url;
    }
}

TEST(ReferenceServer, RequestsAndRecordsAreBounded)
{
    const Served served({}, 20);
    const auto client = served.client();
    const auto big = client->Post("/dot/batch", std::string(server::kMaxRequestBody + 1, 'x'), "application/x-www-form-urlencoded");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(client->Post("/v3/software/heart?n=" + std::to_string(i), "", "text/plain")) << i;
    const auto requests = served.server->requests();
    ASSERT_EQ(requests.size(), 20u);
    EXPECT_EQ(requests.front().target, "/v3/software/heart?n=5"); // the oldest went
    EXPECT_EQ(requests.back().target, "/v3/software/heart?n=24");
}

// Ranges as a resuming client needs them: 206 with Content-Range for its validator, the whole file
// when the validator is another file's or the server is told to ignore ranges.
TEST(ReferenceServer, AnswersRangesForItsOwnValidator)
{
    const Served served;
    test::writeFile(served.dir / "catalog" / "r.bin", "0123456789");
    const auto client = served.client();
    const auto whole = client->Get("/files/r.bin");
    ASSERT_TRUE(whole);
    const std::string etag = whole->get_header_value("ETag");
    EXPECT_EQ(etag, "\"" + sha256Hex("0123456789") + "\"");

    const auto rest = client->Get("/files/r.bin", { { "Range", "bytes=4-" }, { "If-Range", etag } });
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->status, 206);
    EXPECT_EQ(rest->get_header_value("Content-Range"), "bytes 4-9/10");
    EXPECT_EQ(rest->body, "456789");

    const auto stale = client->Get("/files/r.bin", { { "Range", "bytes=4-" }, { "If-Range", "\"other\"" } });
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->status, 200);
    EXPECT_EQ(stale->body, "0123456789");

    served.server->setBehaviour("files", server::Behaviour::wholeOnly());
    const auto ignored = client->Get("/files/r.bin", { { "Range", "bytes=4-" } });
    ASSERT_TRUE(ignored);
    EXPECT_EQ(ignored->status, 200);
    EXPECT_EQ(ignored->body, "0123456789");
}

TEST(ReferenceServer, CutsOneTransferAndOffersMirrors)
{
    const Served served;
    test::writeFile(served.dir / "catalog" / "m.bin", std::string(100000, 'm'));
    const auto client = served.client();
    served.server->setBehaviour("files", server::Behaviour::cutAfter(1000));
    EXPECT_FALSE(client->Get("/files/m.bin")); // the connection closed short of the announced length
    const auto next = client->Get("/files/m.bin");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->body.size(), 100000u);
    EXPECT_EQ(served.server->fileBytesSent(), 101000u);

    served.server->setMirrors(2);
    const auto answer = client->Get("/v3/software/downloadUrl?fileName=m.bin", { { "token", "t" } });
    ASSERT_TRUE(answer);
    const nlohmann::json mirrors = nlohmann::json::parse(answer->body)["data"]["mirrors"];
    ASSERT_EQ(mirrors.size(), 2u);
    served.server->setBehaviour("mirror2", server::Behaviour::corrupt());
    const std::string first = mirrors[0], second = mirrors[1];
    EXPECT_EQ(client->Get(first.substr(first.find("/mirrors/")))->body, std::string(100000, 'm'));
    const auto corrupt = client->Get(second.substr(second.find("/mirrors/")));
    ASSERT_TRUE(corrupt);
    EXPECT_EQ(corrupt->body.size(), 100000u);
    EXPECT_NE(corrupt->body, std::string(100000, 'm'));
    EXPECT_EQ(served.server->requests().back().endpoint, "mirror2");
}
