// A plain HTTP server on 127.0.0.1 for end-to-end tests and benchmarks: it serves the pages it
// is given and collects what pages report to /report?<text>, with the time each report arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <httplib.h>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tvn::test {

// Serves pages and collects the reports pages send to /report?<text>.
class PageServer {
public:
    PageServer()
    {
        m_server.Get(R"(/report)", [this](const httplib::Request& request, httplib::Response& response) {
            response.set_header("Access-Control-Allow-Origin", "*");
            std::lock_guard lock(m_mutex);
            m_reports.push_back(request.target.substr(request.target.find('?') + 1));
            m_arrivals.push_back(std::chrono::steady_clock::now());
            m_reported.notify_all();
        });
        // The next command for a page that takes its orders from the test (empty after a while
        // without one, and the page asks again).
        m_server.Get(R"(/command)", [this](const httplib::Request&, httplib::Response& response) {
            response.set_header("Access-Control-Allow-Origin", "*");
            response.set_header("Cache-Control", "no-store");
            std::unique_lock lock(m_mutex);
            std::string command;
            if (m_commandQueued.wait_for(lock, std::chrono::seconds(2), [this] { return !m_commands.empty() || m_stopping; }) && !m_commands.empty()) {
                command = std::move(m_commands.front());
                m_commands.erase(m_commands.begin());
            }
            response.set_content(command, "text/plain");
        });
        m_server.Get(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(m_mutex);
            const auto page = m_pages.find(request.matches[1].str());
            if (page == m_pages.end()) {
                response.status = 404;
                return;
            }
            response.set_content(page->second, "text/html");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        for (int i = 0; i < 5000 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~PageServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_commandQueued.notify_all();
        }
        m_server.stop();
        m_thread.join();
    }

    void addPage(const std::string& path, const std::string& html)
    {
        std::lock_guard lock(m_mutex);
        m_pages[path] = html;
    }
    std::string url(const std::string& host = "127.0.0.1") const { return "http://" + host + ":" + std::to_string(m_port); }

    // Waits until `count` reports have arrived (or the time runs out); the arrival of the last one.
    std::optional<std::chrono::steady_clock::time_point> waitForReports(size_t count, std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        if (!m_reported.wait_for(lock, limit, [&] { return m_reports.size() >= count; }))
            return std::nullopt;
        return m_arrivals[count - 1];
    }

    // Waits until a report that starts with `prefix` has come (or the time runs out); that report.
    std::optional<std::string> waitForReportStartingWith(const std::string& prefix, std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        std::optional<std::string> found;
        m_reported.wait_for(lock, limit, [&] {
            for (const auto& report : m_reports)
                if (std::string text = httplib::detail::decode_url(report, false); text.starts_with(prefix))
                    found = std::move(text);
            return found.has_value();
        });
        return found;
    }

    // Queues a script for a page built by commandPage(); it evaluates it and reports the result.
    void addCommand(std::string script)
    {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(std::move(script));
        m_commandQueued.notify_all();
    }

    // Drops the commands no page has taken yet.
    void withdrawCommands()
    {
        std::lock_guard lock(m_mutex);
        m_commands.clear();
    }

    void clearReports()
    {
        std::lock_guard lock(m_mutex);
        m_reports.clear();
        m_arrivals.clear();
    }

    std::vector<std::string> reports()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> decoded;
        for (const auto& report : m_reports)
            decoded.push_back(httplib::detail::decode_url(report, false));
        return decoded;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_reported;
    std::map<std::string, std::string> m_pages;
    std::vector<std::string> m_reports;
    std::vector<std::chrono::steady_clock::time_point> m_arrivals;
    std::condition_variable m_commandQueued;
    std::vector<std::string> m_commands;
    bool m_stopping = false;
};

// A page that runs the scripts the test queues (addCommand), one after another, and reports each
// one's value as a string ("!" and the message when it throws). `head` goes into the page first;
// `server` is the page server's address for a page that is not served by it.
inline std::string commandPage(const std::string& head = "", const std::string& server = "")
{
    return "<!doctype html><html><head>" + head + R"(</head><body><script>
function next() {
    // A request the page's own navigation cut off may never settle: give up on it after a while.
    fetch(')" + server + R"(/command', { cache: 'no-store', signal: AbortSignal.timeout(5000) }).then(function (r) { return r.text(); }).then(function (code) {
        if (!code)
            return next();
        var result;
        try { result = String((0, eval)(code)); } catch (e) { result = '!' + e.message; } // global: vars outlive the command
        return fetch(')" + server + R"(/report?' + encodeURIComponent(result)).then(next, next);
    }, function () { setTimeout(next, 100); });
}
next();
</script></body></html>)";
}


} // namespace tvn::test
