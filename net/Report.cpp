// Building and posting reports.

#include "net/Report.h"

#include "core/GlobalConfig.h"
#include "core/ProcessValues.h"
#include "identity/DeviceId.h"
#include "net/HttpRequest.h"
#include "net/ServerConfig.h"
#include "util/JsonText.h"

#include <chrono>
#include <map>
#include <mutex>
#include <random>

namespace tvn {

namespace {

std::string makeSessionId()
{
    std::random_device device;
    std::mt19937 generator(device());
    std::uniform_int_distribution<int> digit(0, 15), variant(8, 11);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (const char pattern : std::string_view("xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx")) {
        if (pattern == 'x')
            id += kHex[digit(generator)];
        else if (pattern == 'y')
            id += kHex[variant(generator)];
        else
            id += pattern;
    }
    return id;
}

} // namespace

const std::string& reportSessionId()
{
    static const std::string id = makeSessionId();
    return id;
}

std::string buildReport(std::string_view eventName, const ReportParameters& p)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::map<std::string, std::string> fields = {
        { "bd", bdVid() },
        { "chn", channelId() },
        { "ck1", p[3] }, { "ck2", p[5] }, { "ck3", p[7] }, { "ck4", p[9] },
        { "cv1", p[4] }, { "cv2", p[6] }, { "cv3", p[8] }, { "cv4", p[10] },
        { "dt", std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now).count()) },
        { "ea", std::string(eventName) },
        { "ec", p[0] },
        { "el", p[1] },
        { "sid", reportSessionId() },
        { "t", "event" },
        { "tid", p[2] },
        { "uid", std::string(kProductCode) + deviceId() },
        { "v", "2" },
        { "ver", "" },
        { "vv", "2" },
    };
    return queryString({ { "m", json11Array({ queryString(fields) }) }, { "v", "1" } });
}

bool usageReportsAllowed()
{
    return GlobalConfig::instance().get("report", "send", "true") != "false";
}

bool allowUsageReports(bool allowed)
{
    return GlobalConfig::instance().set("report", "send", allowed ? "true" : "false");
}

void postReport(const std::string& body)
{
    if (!usageReportsAllowed())
        return;
    HttpRawPostRequest request;
    if (request.open(reportServer(), "/dot/batch", true) != 0)
        return;
    const std::string product(kProductCode);
    request.addHeaderLine("appversion: 1.0");
    request.addHeaderLine("clientsys: " + product);
    request.addHeaderLine("deviceId: " + product + deviceId());
    request.addHeaderLine("aid: " + product);
    if (request.send(body, "application/x-www-form-urlencoded") == 0)
        request.wait(); // the answer is not read
}

} // namespace tvn
