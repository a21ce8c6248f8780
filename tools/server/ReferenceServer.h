// ReferenceServer: an HTTPS server implementing the API and reporting endpoints the program talks
// to, for tests, benchmarks and the demo. Loopback only.
//
//   POST /v3/software/heart        {"code":0,"data":{"token":"<token>"}}
//   GET  /v3/software/downloadUrl  {"code":0,"data":{"url":"https://<host>:<port>/files/<name>",
//                                  "sha256":"<the file's digest>","size":<bytes>}} for a file in
//                                  the catalog folder and the right token header; 401 for another
//                                  token, 404 for an unknown file (behaviour "wrongdigest": a
//                                  digest that is not the file's). With mirrors set, "mirrors" lists
//                                  that many more addresses of the same file.
//   POST /dot/batch                {"code":0}; the report's fields are decoded and recorded
//   GET  /files/<name>             the catalog file, with its digest as ETag; a Range is answered
//                                  with 206 and Content-Range unless an If-Range names another
//                                  ETag (then the whole file, 200)
//   GET  /mirrors/<n>/files/<name> the same, as the endpoint "mirror<n>" (n from 1)
//
// Every request is recorded (method, target, headers, body, decoded report fields), in memory and,
// when a record file is given, as one JSON line each. Each endpoint can be told to misbehave.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class SSLServer;
struct Request;
struct Response;
}

namespace tvn::server {

struct RecordedRequest {
    std::string endpoint; // "heart", "downloadUrl", "batch", "files", or "other"
    std::string method;
    std::string target;   // the path and query as the client sent them
    std::string path;
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers; // names as sent
    std::string body;
    std::map<std::string, std::string> reportFields; // /dot/batch only
};

struct Behaviour {
    // Files only: Cut sends `bytes` of the answer, then closes the connection, once (the endpoint
    // is normal afterwards); Corrupt serves the file with its first byte changed; WholeOnly
    // ignores a Range and answers the whole file.
    enum class Kind { Normal, Status, BadJson, Slow, Never, Redirect, WrongDigest, Cut, Corrupt, WholeOnly } kind = Kind::Normal;
    int status = 500;     // Status: the status to answer
    std::string body;     // Status: the body to answer; Redirect: the address to send the client to
    int delayMs = 0;      // Slow: the delay before the normal answer
    uint64_t bytes = 0;   // Cut: how much is sent before the connection closes

    static Behaviour answer(int status, std::string body) { return { Kind::Status, status, std::move(body), 0 }; }
    static Behaviour badJson() { return { Kind::BadJson, 200, {}, 0 }; }
    static Behaviour slow(int delayMs) { return { Kind::Slow, 200, {}, delayMs }; }
    static Behaviour never() { return { Kind::Never, 0, {}, 0 }; }
    static Behaviour redirect(std::string location) { return { Kind::Redirect, 302, std::move(location), 0 }; }
    static Behaviour wrongDigest() { return { Kind::WrongDigest, 200, {}, 0 }; }
    static Behaviour cutAfter(uint64_t bytes) { return { Kind::Cut, 200, {}, 0, bytes }; }
    static Behaviour corrupt() { return { Kind::Corrupt, 200, {}, 0 }; }
    static Behaviour wholeOnly() { return { Kind::WholeOnly, 200, {}, 0 }; }
};

struct ReferenceServerOptions {
    std::filesystem::path stateFolder;   // certificates, made on first start
    std::filesystem::path catalogFolder; // files offered for download
    std::filesystem::path recordFile;    // JSON lines; empty for none
    std::string token = "reference-token";
    // Enables POST /_control/behaviour for requests that carry it in "X-Control-Token"; empty (the
    // default) leaves the endpoint out, so that nobody else on the machine can steer the server.
    std::string controlToken;
    // What the server keeps of its requests: the newest this many (the record file has them all).
    size_t maxRecorded = 10000;
    // How many mirror addresses the download-address answer lists beside the url.
    int mirrors = 0;
};

// The largest request body it reads.
inline constexpr size_t kMaxRequestBody = 1u << 20;

class ReferenceServer {
public:
    explicit ReferenceServer(ReferenceServerOptions);
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port) on a thread of its own. False when it cannot.
    bool start(int port = 0);
    // Releases requests held by "never", then stops listening and joins.
    void stop();

    int port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::filesystem::path& authorityFile() const { return m_authority; }
    const std::string& token() const { return m_options.token; }

    void setBehaviour(const std::string& endpoint, Behaviour);
    void setMirrors(int count);
    std::vector<RecordedRequest> requests() const;
    // The bytes of file content sent so far, over every files and mirror endpoint.
    uint64_t fileBytesSent() const { return m_fileBytesSent; }

    // Decodes a report body (m=<["query"]>&v=1) into its fields; empty when it is not one.
    static std::map<std::string, std::string> decodeReport(const std::string& body);

private:
    void route();
    // Applies the endpoint's behaviour; true when it answered (the normal handler is skipped).
    bool misbehave(const std::string& endpoint, httplib::Response&);
    bool behavesAs(const std::string& endpoint, Behaviour::Kind) const;
    void record(const std::string& endpoint, const httplib::Request&, std::map<std::string, std::string> fields = {});
    // GET of a catalog file as `endpoint` ("files" or "mirror<n>").
    void serveFile(const std::string& endpoint, const std::string& name, const httplib::Request&, httplib::Response&);
    // The endpoint's way of serving files when it has one (Cut, Corrupt, WholeOnly); a Cut is taken:
    // the endpoint is normal after it.
    std::optional<Behaviour> takeFileBehaviour(const std::string& endpoint);

    ReferenceServerOptions m_options;
    std::filesystem::path m_authority;
    std::unique_ptr<httplib::SSLServer> m_server;
    std::thread m_thread;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopping = false;
    std::map<std::string, Behaviour> m_behaviours;
    std::deque<RecordedRequest> m_requests; // at most m_options.maxRecorded
    std::atomic<uint64_t> m_fileBytesSent { 0 };
};

} // namespace tvn::server
