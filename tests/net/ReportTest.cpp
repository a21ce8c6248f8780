// Reports: the body field by field, the session id, and the post to the reference server.
#include "net/Report.h"

#include "core/ProcessValues.h"
#include "identity/DeviceId.h"
#include "util/UrlEncoding.h"

#include "tests/support/ServerFixture.h"

#include <regex>

using namespace tvn;

namespace {

class ReportTest : public test::ServerFixture { };

// Q, the query string inside the body's m=["..."].
std::string innerQuery(const std::string& body)
{
    const std::string prefix = "m=";
    const std::string suffix = "&v=1";
    EXPECT_TRUE(body.starts_with(prefix) && body.ends_with(suffix)) << body;
    const std::string array = urlDecode(body.substr(prefix.size(), body.size() - prefix.size() - suffix.size()));
    EXPECT_TRUE(array.starts_with("[\"") && array.ends_with("\"]")) << array;
    return array.substr(2, array.size() - 4);
}

} // namespace

TEST_F(ReportTest, TwentyOneFieldsInOrder)
{
    setChannelId("tvn_x01_01");
    setBdVid("12345");
    const std::string body = buildReport("install_ok", { "a", "b", "c", "k1", "v1", "k2", "v2", "k3", "v3", "k4", "v4" });
    const std::string query = innerQuery(body);

    std::vector<std::string> names;
    for (size_t at = 0; at < query.size();) {
        const size_t end = std::min(query.find('&', at), query.size());
        names.push_back(query.substr(at, query.find('=', at) - at));
        at = end + 1;
    }
    EXPECT_EQ(names, (std::vector<std::string> { "bd", "chn", "ck1", "ck2", "ck3", "ck4", "cv1", "cv2", "cv3", "cv4", "dt", "ea",
                         "ec", "el", "sid", "t", "tid", "uid", "v", "ver", "vv" }));
    EXPECT_NE(query.find("&ver=&vv=2"), std::string::npos);

    const auto fields = server::ReferenceServer::decodeReport(body);
    EXPECT_EQ(fields.at("bd"), "12345");
    EXPECT_EQ(fields.at("chn"), "tvn_x01_01");
    EXPECT_EQ(fields.at("ea"), "install_ok");
    EXPECT_EQ(fields.at("ec"), "a");
    EXPECT_EQ(fields.at("el"), "b");
    EXPECT_EQ(fields.at("tid"), "c");
    EXPECT_EQ(fields.at("ck1"), "k1");
    EXPECT_EQ(fields.at("cv1"), "v1");
    EXPECT_EQ(fields.at("ck4"), "k4");
    EXPECT_EQ(fields.at("cv4"), "v4");
    EXPECT_EQ(fields.at("t"), "event");
    EXPECT_EQ(fields.at("uid"), "tvn" + deviceId());
    EXPECT_EQ(fields.at("v"), "2");
    EXPECT_EQ(fields.at("vv"), "2");
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(std::llabs(std::stoll(fields.at("dt")) - now), 5);
}

TEST_F(ReportTest, ValuesAreEncodedTwice)
{
    const std::string body = buildReport("", { "a&b=c", "50%" });
    EXPECT_NE(innerQuery(body).find("ec=a%26b%3Dc&el=50%25&"), std::string::npos);
    EXPECT_NE(body.find("ec%3Da%2526b%253Dc"), std::string::npos); // Q's own "%" encoded again
    const auto fields = server::ReferenceServer::decodeReport(body);
    EXPECT_EQ(fields.size(), 21u);
    EXPECT_EQ(fields.at("ea"), "");
    EXPECT_EQ(fields.at("ec"), "a&b=c");
    EXPECT_EQ(fields.at("el"), "50%");
}

TEST_F(ReportTest, OneSessionIdPerProcess)
{
    const std::regex uuid4("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(reportSessionId(), uuid4)) << reportSessionId();
    const auto first = server::ReferenceServer::decodeReport(buildReport("one", {}));
    const auto second = server::ReferenceServer::decodeReport(buildReport("two", {}));
    EXPECT_EQ(first.at("sid"), reportSessionId());
    EXPECT_EQ(second.at("sid"), reportSessionId());
}

TEST_F(ReportTest, PostedWithItsHeaders)
{
    postReport(buildReport("checkbdvid", { "tvbd_1" }));
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/dot/batch");
    EXPECT_EQ(request.reportFields.at("ea"), "checkbdvid");
    EXPECT_EQ(request.reportFields.at("ec"), "tvbd_1");
    EXPECT_EQ(request.headers.at("aid"), "tvn");
    EXPECT_EQ(request.headers.at("appversion"), "1.0");
    EXPECT_EQ(request.headers.at("clientsys"), "tvn");
    EXPECT_EQ(request.headers.at("deviceId"), "tvn" + deviceId());
    EXPECT_EQ(request.headers.at("Content-Type"), "application/x-www-form-urlencoded");
}

// The user's choice, as config.ini keeps it: off sends nothing; anything but "false" is on.
TEST_F(ReportTest, NothingIsSentWhileTheUserSaysNo)
{
    EXPECT_TRUE(usageReportsAllowed());
    ASSERT_TRUE(allowUsageReports(false));
    EXPECT_NE(test::readFile(dir / "config" / "tvn" / "config.ini").find("[report]\nsend = false\n"), std::string::npos);
    postReport(buildReport("checkbdvid", { "tvbd_1" }));
    EXPECT_TRUE(server->requests().empty());
    ASSERT_TRUE(allowUsageReports(true));
    postReport(buildReport("checkbdvid", { "tvbd_1" }));
    EXPECT_EQ(server->requests().size(), 1u);
}

// The executable's report run: the start-up event and the scene's event, then exit 0, no log.
TEST_F(ReportTest, ReportRunOfTheExecutable)
{
    test::writeFile(dir / "config" / "tvn" / "config.ini", test::readFile(dir / "config" / "tvn" / "config.ini") + "[app]\ninst = tvbd_777_x\n");
    const std::string command = std::string(TVN_EXECUTABLE) + " --command=report --scene=install_ok,a,b,c,d > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);

    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].reportFields.at("ea"), "checkbdvid");
    EXPECT_EQ(requests[0].reportFields.at("ec"), "tvbd_777_x");
    EXPECT_EQ(requests[0].reportFields.at("bd"), "777");
    EXPECT_EQ(requests[0].reportFields.at("chn"), "tvn_x01_01");
    const auto& event = requests[1].reportFields;
    EXPECT_EQ(event.at("ea"), "install_ok");
    EXPECT_EQ(event.at("ec"), "a");
    EXPECT_EQ(event.at("el"), "b");
    EXPECT_EQ(event.at("tid"), "c");
    EXPECT_EQ(event.at("ck1"), "");
    EXPECT_EQ(event.at("sid"), requests[0].reportFields.at("sid"));
    EXPECT_FALSE(std::filesystem::exists(dir / "config" / "tvn" / "logs"));

    // Unreachable: still exit 0.
    server->stop();
    EXPECT_EQ(std::system(command.c_str()), 0);
}
