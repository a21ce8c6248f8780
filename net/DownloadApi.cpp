// The download-address and heartbeat calls.

#include "net/DownloadApi.h"

#include "core/EventBus.h"
#include "core/Log.h"
#include "identity/DeviceId.h"
#include "ipc/Url.h"
#include "net/HttpRequest.h"
#include "net/Report.h"
#include "net/ServerConfig.h"
#include "util/Sha256.h"
#include "util/Strings.h"

#include <nlohmann/json.hpp>

namespace tvn {

namespace {

// data.<member> of a JSON answer; null when the answer or its member is missing.
nlohmann::json dataMember(const std::string& text, const char* member)
{
    const nlohmann::json answer = nlohmann::json::parse(text, nullptr, false);
    if (!answer.is_object())
        return nullptr;
    const auto data = answer.find("data");
    if (data == answer.end() || !data->is_object())
        return nullptr;
    const auto value = data->find(member);
    return value == data->end() ? nullptr : *value;
}

std::string stringMember(const std::string& text, const char* member)
{
    const nlohmann::json value = dataMember(text, member);
    return value.is_string() ? value.get<std::string>() : std::string();
}

uint64_t sizeMember(const std::string& text)
{
    const nlohmann::json value = dataMember(text, "size");
    return value.is_number_unsigned() ? value.get<uint64_t>() : 0;
}

std::vector<std::string> mirrorsMember(const std::string& text)
{
    std::vector<std::string> mirrors;
    const nlohmann::json value = dataMember(text, "mirrors");
    if (!value.is_array())
        return mirrors;
    for (const nlohmann::json& mirror : value) {
        if (mirror.is_string() && !mirror.get_ref<const std::string&>().empty() && mirrors.size() < kMaxMirrors)
            mirrors.push_back(mirror.get<std::string>());
    }
    return mirrors;
}

} // namespace

std::vector<std::string> DownloadAddress::sources() const
{
    std::vector<std::string> all { url };
    all.insert(all.end(), mirrors.begin(), mirrors.end());
    return all;
}

std::optional<std::string> downloadAddressRefusal(const DownloadAddress& address, std::string_view apiHost,
    const std::vector<std::string>& trustedHosts)
{
    const auto url = parseUrl(address.url);
    if (!url || url->host.empty())
        return "not a url: " + address.url;
    if (url->scheme != "https" && url->scheme != "http")
        return "not http or https: " + url->scheme;
    if (!address.sha256.empty())
        return std::nullopt;
    if (url->scheme != "https")
        return "no digest and not https: " + url->host;
    if (url->host == asciiLower(apiHost))
        return std::nullopt;
    for (const std::string& host : trustedHosts)
        if (url->host == asciiLower(host))
            return std::nullopt;
    return "no digest and host not trusted: " + url->host;
}

std::string getDownloadURLImpl(std::string_view token, std::string_view fileType, std::string_view fileName)
{
    return getDownloadAddress(token, fileType, fileName).url;
}

DownloadAddress getDownloadAddress(std::string_view token, std::string_view fileType, std::string_view fileName)
{
    LOG_INFO << "getDownloadURLImpl begin";
    const HttpConnection connection = apiServer();
    if (connection.host.empty()) {
        LOG_INFO << "getDownloadURLImpl::connection init failed";
        return {};
    }
    HttpGetRequest request;
    request.addParam("fileName", fileName);
    request.addParam("fileType", fileType);
    request.addParam("product", "tolvaneFile");
    if (request.open(connection, "/v3/software/downloadUrl", true) == 0) {
        request.addHeader("referer", refererValue());
        request.addHeader("token", token);
        request.addHeaderLine("clientsys: " + std::string(kProductCode));
        if (request.send() == 0) {
            LOG_INFO << "send report ...";
            const HttpResult& result = request.wait();
            if (result.status == 200) {
                LOG_INFO << "get download ok";
                DownloadAddress address { stringMember(result.text(), "url"), stringMember(result.text(), "sha256"), sizeMember(result.text()),
                    mirrorsMember(result.text()) };
                if (!address.sha256.empty() && !isSha256Hex(address.sha256)) {
                    LOG_ERROR << "download digest refused: " << address.sha256;
                    return {};
                }
                address.sha256 = asciiLower(address.sha256);
                return address;
            }
            LOG_INFO << "get download failed, " << result.status;
            LOG_INFO << trim(result.text());
        }
    }
    LOG_INFO << "getDownloadURLImpl exit";
    return {};
}

void postHeartImpl(std::string& token)
{
    const HttpConnection connection = apiServer();
    if (connection.host.empty()) {
        LOG_INFO << "connection init failed";
        return;
    }
    HttpRawPostRequest request;
    if (request.open(connection, "/v3/software/heart", true) == 0) {
        request.addHeader("referer", refererValue());
        if (usageReportsAllowed()) // who is beating is a report; the token is not
            request.addHeaderLine("deviceId: " + deviceId());
        request.addHeaderLine("clientsys: " + std::string(kProductCode));
        if (request.send("", "application/x-www-form-urlencoded") == 0) {
            LOG_INFO << "send report ...";
            const HttpResult& result = request.wait();
            if (result.status == 200) {
                LOG_INFO << "send heart ok";
                if (const nlohmann::json answered = dataMember(result.text(), "token"); answered.is_string())
                    token = answered.get<std::string>();
            } else {
                LOG_INFO << "send heart failed, " << result.status;
                LOG_INFO << trim(result.text());
            }
        }
    }
    LOG_INFO << "postHeartImpl  end";
}

void heartbeatOnce()
{
    std::string token;
    postHeartImpl(token);
    EventBus::Bus::instance().publish("HTTP_GetDownloadToken", { std::move(token) });
}

} // namespace tvn
