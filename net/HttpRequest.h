// The request layer the system talks to its servers through: one GET or POST at a time, used
// synchronously (construct, params, open, headers, send, wait, read the result).
//
// Every request makes its own transfer; nothing is kept between requests. The whole exchange must
// end within 10,000 ms of wait(), else the result's status is 2. Server certificates are verified
// against the system's authorities and, when configured, one more bundle.
//
// States: constructed -> opened (open: target, default headers) -> sent (send: the request is
// fixed) -> done (wait: status, headers, body). A request that was never sent ends at wait() with
// status 2, as one that timed out.
#pragma once

#include "util/ResponseText.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace tvn {

struct HttpResult {
    // 0 before anything is known; the HTTP status once the response arrived; 1 after a request
    // error (no connection, TLS failure, broken transfer, an answer over kMaxAnswerBytes); 2 after
    // the time limit.
    int status = 0;
    std::string body;
    HeaderMap headers;

    // The body decoded by its charset (see responseText), as UTF-8.
    std::string text() const { return responseText(headers, body); }
};

// The server a request goes to. An empty host is no server: open() fails at once.
struct HttpConnection {
    std::string host;
    uint16_t port = 443;
    std::filesystem::path caBundle; // authorities to trust besides the system's; empty for none
};

// The fixed browser-like user agent every request sends.
inline constexpr std::string_view kUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/89.0.4389.90 Safari/537.36";

inline constexpr int kHttpTimeLimitMs = 10000;

// The servers' answers are small JSON documents; a larger one is refused rather than kept.
inline constexpr size_t kMaxAnswerBytes = 4u << 20;

// open() and send() results besides 0.
enum HttpError : int {
    kHttpNoServer = 1,    // the connection names no host
    kHttpNoTransfer = 2,  // the transfer could not be created
    kHttpWrongOrder = 3,  // called out of the fixed order
};

// The query string of `parameters`: name=urlEncode(value) in name order, joined with "&".
std::string queryString(const std::map<std::string, std::string>& parameters);

class HttpExchange {
public:
    virtual ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    // A header, replacing an earlier value of the same name.
    void addHeader(std::string_view name, std::string_view value);
    // "Name: value", split at the first ":" with blanks trimmed from both parts; ignored without ":".
    void addHeaderLine(std::string_view line);

    // Runs the exchange to its end or to the time limit.
    const HttpResult& wait();
    const HttpResult& result() const { return m_result; }

    // The request headers in the order they are sent (name order, upper case first).
    const std::map<std::string, std::string>& requestHeaders() const { return m_headers; }

protected:
    explicit HttpExchange(std::string_view verb);
    int openTarget(const HttpConnection&, const std::string& target, bool secure);
    int sendBody(const std::string* body);

private:
    struct Transfer;
    std::string m_verb;
    std::unique_ptr<Transfer> m_transfer;
    std::map<std::string, std::string> m_headers;
    HttpResult m_result;
    bool m_sent = false;
};

// The one template both request kinds are made from: T names the verb.
template<typename T>
class HttpRequest : public HttpExchange {
protected:
    HttpRequest()
        : HttpExchange(T::kVerb)
    {
    }
};

class HttpGetRequest final : public HttpRequest<HttpGetRequest> {
public:
    static constexpr std::string_view kVerb = "GET";

    // A query parameter, replacing an earlier value of the same name. Before open().
    void addParam(std::string_view name, std::string_view value) { m_parameters[std::string(name)] = value; }

    // Requests `path`, "?" and the query string (the "?" even when there are no parameters).
    int open(const HttpConnection& connection, std::string_view path, bool secure = true)
    {
        return openTarget(connection, std::string(path) + "?" + queryString(m_parameters), secure);
    }

    int send() { return sendBody(nullptr); }

private:
    std::map<std::string, std::string> m_parameters;
};

class HttpRawPostRequest final : public HttpRequest<HttpRawPostRequest> {
public:
    static constexpr std::string_view kVerb = "POST";

    int open(const HttpConnection& connection, std::string_view path, bool secure = true)
    {
        return openTarget(connection, std::string(path), secure);
    }

    int send(std::string body, std::string_view contentType)
    {
        m_body = std::move(body);
        addHeaderLine("Content-Type: " + std::string(contentType));
        return sendBody(&m_body);
    }

private:
    std::string m_body;
};

} // namespace tvn
