// The reference server on cpp-httplib.

#include "tools/server/ReferenceServer.h"

#include "platform/FileDescriptor.h"
#include "tools/server/Certificates.h"
#include "util/JsonText.h"
#include "util/Sha256.h"
#include "util/UrlEncoding.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace tvn::server {

namespace {

constexpr const char* kJson = "application/json";

std::map<std::string, std::string> parseQuery(std::string_view query)
{
    std::map<std::string, std::string> fields;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t equals = pair.find('=');
        fields[std::string(pair.substr(0, equals))] = equals == std::string_view::npos ? "" : urlDecode(pair.substr(equals + 1));
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
    }
    return fields;
}

bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

ReferenceServer::ReferenceServer(ReferenceServerOptions options)
    : m_options(std::move(options))
{
}

ReferenceServer::~ReferenceServer()
{
    stop();
}

std::map<std::string, std::string> ReferenceServer::decodeReport(const std::string& body)
{
    const auto outer = parseQuery(body);
    const auto m = outer.find("m");
    if (m == outer.end())
        return {};
    const nlohmann::json batch = nlohmann::json::parse(m->second, nullptr, false);
    if (!batch.is_array() || batch.size() != 1 || !batch[0].is_string())
        return {};
    return parseQuery(batch[0].get<std::string>());
}

bool ReferenceServer::start(int port)
{
    const CertificateFiles files = ensureCertificates(m_options.stateFolder);
    m_authority = files.authority;
    m_server = std::make_unique<httplib::SSLServer>(files.certificate.c_str(), files.privateKey.c_str());
    if (!m_server->is_valid())
        return false;
    m_server->set_tcp_nodelay(true); // answers go out at once, not after a delayed acknowledgement
    m_server->set_payload_max_length(kMaxRequestBody);
    m_server->set_read_timeout(10, 0); // a client that stops sending is let go
    route();
    m_port = port ? (m_server->bind_to_port("127.0.0.1", port) ? port : -1) : m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    // The socket listens from the bind on: connections made before the loop runs wait in its backlog.
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() only ends a loop that is running: wait for it, so a stop right after start is not lost.
    for (int waited = 0; !m_server->is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void ReferenceServer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void ReferenceServer::setBehaviour(const std::string& endpoint, Behaviour behaviour)
{
    std::lock_guard lock(m_mutex);
    m_behaviours[endpoint] = std::move(behaviour);
}

std::vector<RecordedRequest> ReferenceServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return { m_requests.begin(), m_requests.end() };
}

void ReferenceServer::setMirrors(int count)
{
    std::lock_guard lock(m_mutex);
    m_options.mirrors = count;
}

void ReferenceServer::record(const std::string& endpoint, const httplib::Request& request, std::map<std::string, std::string> fields)
{
    RecordedRequest recorded { endpoint, request.method, request.target, request.path, {}, {}, request.body, std::move(fields) };
    const size_t question = request.target.find('?');
    if (question != std::string::npos)
        recorded.query = parseQuery(std::string_view(request.target).substr(question + 1));
    for (const auto& [name, value] : request.headers)
        recorded.headers[name] = value;

    std::lock_guard lock(m_mutex);
    if (!m_options.recordFile.empty()) {
        const nlohmann::json line = { { "endpoint", endpoint }, { "method", recorded.method }, { "target", recorded.target },
            { "headers", recorded.headers }, { "body", recorded.body }, { "fields", recorded.reportFields } };
        std::ofstream(m_options.recordFile, std::ios::app) << jsonText(line) << '\n';
    }
    m_requests.push_back(std::move(recorded));
    if (m_requests.size() > m_options.maxRecorded)
        m_requests.pop_front();
}

bool ReferenceServer::behavesAs(const std::string& endpoint, Behaviour::Kind kind) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_behaviours.find(endpoint);
    return found != m_behaviours.end() && found->second.kind == kind;
}

bool ReferenceServer::misbehave(const std::string& endpoint, httplib::Response& response)
{
    std::unique_lock lock(m_mutex);
    const auto found = m_behaviours.find(endpoint);
    if (found == m_behaviours.end())
        return false;
    const Behaviour behaviour = found->second;
    switch (behaviour.kind) {
    case Behaviour::Kind::Normal:
    case Behaviour::Kind::WrongDigest: // the normal answer, with another digest
    case Behaviour::Kind::Cut:         // the file handler's own ways
    case Behaviour::Kind::Corrupt:
    case Behaviour::Kind::WholeOnly:
        return false;
    case Behaviour::Kind::Status:
        response.status = behaviour.status;
        response.set_content(behaviour.body, kJson);
        return true;
    case Behaviour::Kind::Redirect:
        response.set_redirect(behaviour.body, behaviour.status);
        return true;
    case Behaviour::Kind::BadJson:
        response.set_content("{\"data\": not json", kJson);
        return true;
    case Behaviour::Kind::Slow:
        m_released.wait_for(lock, std::chrono::milliseconds(behaviour.delayMs), [this] { return m_stopping; });
        return false;
    case Behaviour::Kind::Never:
        // Held until the server stops (a minute at most), then the connection just closes.
        m_released.wait_for(lock, std::chrono::minutes(1), [this] { return m_stopping; });
        response.status = 503;
        return true;
    }
    return false;
}

void ReferenceServer::route()
{
    m_server->Post("/v3/software/heart", [this](const httplib::Request& request, httplib::Response& response) {
        record("heart", request);
        if (misbehave("heart", response))
            return;
        response.set_content(nlohmann::json { { "code", 0 }, { "data", { { "token", m_options.token } } } }.dump(), kJson);
    });

    m_server->Get("/v3/software/downloadUrl", [this](const httplib::Request& request, httplib::Response& response) {
        record("downloadUrl", request);
        if (misbehave("downloadUrl", response))
            return;
        if (request.get_header_value("token") != m_options.token) {
            response.status = 401;
            response.set_content(R"({"code":401,"message":"bad token"})", kJson);
            return;
        }
        const std::string name = request.get_param_value("fileName");
        std::error_code error;
        if (!isPlainName(name) || !std::filesystem::is_regular_file(m_options.catalogFolder / name, error)) {
            response.status = 404;
            response.set_content(R"({"code":404,"message":"no such file"})", kJson);
            return;
        }
        const std::string url = "https://" + address() + "/files/" + urlEncode(name);
        std::string digest = sha256OfFile(m_options.catalogFolder / name).value_or("");
        if (behavesAs("downloadUrl", Behaviour::Kind::WrongDigest))
            digest = sha256Hex(digest);
        const uint64_t size = std::filesystem::file_size(m_options.catalogFolder / name, error);
        nlohmann::json data = { { "url", url }, { "sha256", digest }, { "size", error ? 0 : size } };
        int mirrors = 0;
        {
            std::lock_guard lock(m_mutex);
            mirrors = m_options.mirrors;
        }
        for (int mirror = 1; mirror <= mirrors; ++mirror)
            data["mirrors"].push_back("https://" + address() + "/mirrors/" + std::to_string(mirror) + "/files/" + urlEncode(name));
        response.set_content(nlohmann::json { { "code", 0 }, { "data", std::move(data) } }.dump(), kJson);
    });

    m_server->Post("/dot/batch", [this](const httplib::Request& request, httplib::Response& response) {
        record("batch", request, decodeReport(request.body));
        if (misbehave("batch", response))
            return;
        response.set_content(R"({"code":0})", kJson);
    });

    // The path is decoded once already: "libstdc%2B%2B-6.dll" is "libstdc++-6.dll" here, and a
    // second decoding would make its "+" spaces.
    m_server->Get(R"(/files/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
        serveFile("files", request.matches[1].str(), request, response);
    });
    m_server->Get(R"(/mirrors/([1-9][0-9]{0,2})/files/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
        serveFile("mirror" + request.matches[1].str(), request.matches[2].str(), request, response);
    });

    // Control, for a server run as its own process and given a control token: POST
    // /_control/behaviour?endpoint=heart&kind=
    // status|badjson|slow|never|redirect|wrongdigest|cut|corrupt|wholeonly|normal[&status=500]
    // [&body=...][&delay=2000][&bytes=1024] (a redirect's address is its body); POST
    // /_control/mirrors?count=2.
    if (m_options.controlToken.empty())
        return;
    m_server->Post("/_control/behaviour", [this](const httplib::Request& request, httplib::Response& response) {
        if (request.get_header_value("X-Control-Token") != m_options.controlToken) {
            response.status = 403;
            return;
        }
        static const std::map<std::string, Behaviour::Kind> kinds = { { "normal", Behaviour::Kind::Normal },
            { "status", Behaviour::Kind::Status }, { "badjson", Behaviour::Kind::BadJson }, { "slow", Behaviour::Kind::Slow },
            { "never", Behaviour::Kind::Never }, { "redirect", Behaviour::Kind::Redirect }, { "wrongdigest", Behaviour::Kind::WrongDigest },
            { "cut", Behaviour::Kind::Cut }, { "corrupt", Behaviour::Kind::Corrupt }, { "wholeonly", Behaviour::Kind::WholeOnly } };
        const auto kind = kinds.find(request.get_param_value("kind"));
        if (kind == kinds.end() || !request.has_param("endpoint")) {
            response.status = 400;
            return;
        }
        Behaviour behaviour;
        behaviour.kind = kind->second;
        behaviour.status = std::atoi(request.get_param_value("status").c_str());
        if (behaviour.kind == Behaviour::Kind::Redirect && behaviour.status == 0)
            behaviour.status = 302;
        behaviour.body = request.get_param_value("body");
        behaviour.delayMs = std::atoi(request.get_param_value("delay").c_str());
        behaviour.bytes = std::strtoull(request.get_param_value("bytes").c_str(), nullptr, 10);
        setBehaviour(request.get_param_value("endpoint"), behaviour);
        response.set_content(R"({"code":0})", kJson);
    });
    m_server->Post("/_control/mirrors", [this](const httplib::Request& request, httplib::Response& response) {
        if (request.get_header_value("X-Control-Token") != m_options.controlToken) {
            response.status = 403;
            return;
        }
        setMirrors(std::clamp(std::atoi(request.get_param_value("count").c_str()), 0, 999));
        response.set_content(R"({"code":0})", kJson);
    });
}

std::optional<Behaviour> ReferenceServer::takeFileBehaviour(const std::string& endpoint)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_behaviours.find(endpoint);
    if (found == m_behaviours.end())
        return std::nullopt;
    const Behaviour behaviour = found->second;
    if (behaviour.kind == Behaviour::Kind::Cut)
        m_behaviours.erase(found);
    else if (behaviour.kind != Behaviour::Kind::Corrupt && behaviour.kind != Behaviour::Kind::WholeOnly)
        return std::nullopt;
    return behaviour;
}

void ReferenceServer::serveFile(const std::string& endpoint, const std::string& name, const httplib::Request& request, httplib::Response& response)
{
    record(endpoint, request);
    if (misbehave(endpoint, response))
        return;
    // The name is judged before anything is opened: "../x" or "/etc/x" never reach the disk.
    auto file = std::make_shared<platform::FileDescriptor>(isPlainName(name) ? ::open((m_options.catalogFolder / name).c_str(), O_RDONLY | O_CLOEXEC) : -1);
    struct stat status {};
    if (!*file || ::fstat(file->get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    const std::string etag = "\"" + sha256OfFile(m_options.catalogFolder / name).value_or("") + "\"";
    response.set_header("ETag", etag);
    response.set_header("Accept-Ranges", "bytes");
    const std::optional<Behaviour> behaviour = takeFileBehaviour(endpoint);
    const auto kind = behaviour ? behaviour->kind : Behaviour::Kind::Normal;
    // The library answers the request's ranges by itself; a range that may not be answered is taken
    // away before it sees it (the request object is the server's own, not a constant).
    const bool ifRangeMatches = !request.has_header("If-Range") || request.get_header_value("If-Range") == etag;
    if (kind == Behaviour::Kind::WholeOnly || !ifRangeMatches)
        const_cast<httplib::Request&>(request).ranges.clear();
    if (request.ranges.empty())
        response.status = 200;
    // Cut: this much is sent of this answer, then the connection closes.
    const uint64_t allowed = kind == Behaviour::Kind::Cut ? behaviour->bytes : UINT64_MAX;
    auto sent = std::make_shared<uint64_t>(0);
    response.set_content_provider(static_cast<size_t>(status.st_size), "application/octet-stream",
        [this, file, kind, allowed, sent](size_t offset, size_t length, httplib::DataSink& sink) {
            std::string chunk(std::min<size_t>(length, 256 * 1024), '\0');
            const ssize_t got = ::pread(file->get(), chunk.data(), chunk.size(), static_cast<off_t>(offset));
            if (got <= 0)
                return false;
            chunk.resize(static_cast<size_t>(got));
            if (kind == Behaviour::Kind::Corrupt && offset == 0)
                chunk[0] = static_cast<char>(chunk[0] ^ 0x5a);
            if (*sent + chunk.size() > allowed)
                chunk.resize(static_cast<size_t>(allowed - *sent));
            if (!chunk.empty() && !sink.write(chunk.data(), chunk.size()))
                return false;
            *sent += chunk.size();
            m_fileBytesSent += chunk.size();
            return *sent < allowed; // false ends the answer short: the connection closes
        });
}

} // namespace tvn::server
