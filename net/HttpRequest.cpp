// The request layer on libcurl: one easy handle per request, performed in wait() with the time
// limit as curl's own, so a request never outlives its object.

#include "net/HttpRequest.h"

#include "net/Curl.h"
#include "util/Strings.h"
#include "util/UrlEncoding.h"

namespace tvn {

namespace {

// Response headers as they arrive: a status line starts a new header block (a 100 Continue or a
// redirect's headers are not the final response's).
size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto& headers = *static_cast<HeaderMap*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        headers.clear();
    } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
        headers[std::string(trim(line.substr(0, colon)))] = trim(line.substr(colon + 1));
    }
    return size * count;
}

// An answer larger than any the servers give is not kept: the exchange fails (status 1).
size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto& body = *static_cast<std::string*>(user);
    if (size * count > kMaxAnswerBytes - body.size()) {
        body.clear();
        return 0; // curl ends the transfer with a write error
    }
    body.append(data, size * count);
    return size * count;
}

} // namespace

struct HttpExchange::Transfer {
    CurlHandle handle;
    CurlList headerList;
    std::string url;
    std::string caBundle;
};

std::string queryString(const std::map<std::string, std::string>& parameters)
{
    std::string query;
    for (const auto& [name, value] : parameters) {
        if (!query.empty())
            query += '&';
        query += name;
        query += '=';
        query += urlEncode(value);
    }
    return query;
}

HttpExchange::HttpExchange(std::string_view verb)
    : m_verb(verb)
{
}

HttpExchange::~HttpExchange() = default;

void HttpExchange::addHeader(std::string_view name, std::string_view value)
{
    m_headers[std::string(name)] = value;
}

void HttpExchange::addHeaderLine(std::string_view line)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return;
    addHeader(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
}

int HttpExchange::openTarget(const HttpConnection& connection, const std::string& target, bool secure)
{
    if (m_transfer)
        return kHttpWrongOrder;
    if (connection.host.empty())
        return kHttpNoServer;
    auto transfer = std::make_unique<Transfer>();
    transfer->handle = newCurlHandle();
    if (!transfer->handle)
        return kHttpNoTransfer;
    transfer->url = (secure ? "https://" : "http://") + connection.host + ":" + std::to_string(connection.port) + target;
    transfer->caBundle = connection.caBundle.string();
    m_transfer = std::move(transfer);

    addHeaderLine("Cache-Control: no-cache");
    addHeaderLine("User-Agent: " + std::string(kUserAgent));
    return 0;
}

int HttpExchange::sendBody(const std::string* body)
{
    if (!m_transfer || m_sent)
        return kHttpWrongOrder;
    CURL* handle = m_transfer->handle.get();

    // Our headers in name order; curl's own "Accept" and "Expect" are suppressed.
    curl_slist* list = nullptr;
    for (const auto& [name, value] : m_headers)
        list = curl_slist_append(list, (name + ": " + value).c_str());
    list = curl_slist_append(list, "Accept:");
    list = curl_slist_append(list, "Expect:");
    m_transfer->headerList.reset(list);

    curl_easy_setopt(handle, CURLOPT_URL, m_transfer->url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(kHttpTimeLimitMs));
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 16384L);
    verifyServers(handle, m_transfer->caBundle);
    if (body) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &m_result.headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &m_result.body);

    m_result = HttpResult();
    m_sent = true;
    return 0;
}

const HttpResult& HttpExchange::wait()
{
    if (!m_sent || m_result.status != 0) {
        if (!m_sent)
            m_result.status = 2;
        return m_result;
    }
    const CURLcode code = curl_easy_perform(m_transfer->handle.get());
    if (code == CURLE_OPERATION_TIMEDOUT) {
        m_result.status = 2;
    } else if (code != CURLE_OK) {
        m_result.status = 1;
    } else {
        long status = 0;
        curl_easy_getinfo(m_transfer->handle.get(), CURLINFO_RESPONSE_CODE, &status);
        m_result.status = static_cast<int>(status);
    }
    return m_result;
}

} // namespace tvn
