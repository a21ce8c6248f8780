// The log on spdlog: a rotating file sink, a pattern that writes the system's record, and the
// statement functions behind the LOG_* macros.

#include "core/Logging.h"

#include "core/GlobalConfig.h"
#include "core/Paths.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tvn::log {

namespace {

// Set once by initialize() and never cleared: records may come from any thread until exit.
std::atomic<spdlog::logger*> g_logger { nullptr };

spdlog::level::level_enum toSpdlog(Severity severity)
{
    switch (severity) {
    case Severity::Fatal: return spdlog::level::critical;
    case Severity::Error: return spdlog::level::err;
    case Severity::Warning: return spdlog::level::warn;
    case Severity::Info: return spdlog::level::info;
    case Severity::Debug: return spdlog::level::debug;
    case Severity::Verbose: return spdlog::level::trace;
    case Severity::None: break;
    }
    return spdlog::level::off;
}

Severity fromSpdlog(spdlog::level::level_enum level)
{
    switch (level) {
    case spdlog::level::critical: return Severity::Fatal;
    case spdlog::level::err: return Severity::Error;
    case spdlog::level::warn: return Severity::Warning;
    case spdlog::level::info: return Severity::Info;
    case spdlog::level::debug: return Severity::Debug;
    case spdlog::level::trace: return Severity::Verbose;
    default: return Severity::None;
    }
}

// "%*" in the pattern: the system's level name, left-aligned in five columns.
class SeverityFlag final : public spdlog::custom_flag_formatter {
public:
    void format(const spdlog::details::log_msg& message, const std::tm&, spdlog::memory_buf_t& out) override
    {
        const std::string_view name = severityName(fromSpdlog(message.level));
        out.append(name.data(), name.data() + name.size());
        for (size_t i = name.size(); i < 5; ++i)
            out.push_back(' ');
    }

    std::unique_ptr<custom_flag_formatter> clone() const override { return std::make_unique<SeverityFlag>(); }
};

std::unique_ptr<spdlog::formatter> recordFormatter()
{
    auto formatter = std::make_unique<spdlog::pattern_formatter>();
    formatter->add_flag<SeverityFlag>('*').set_pattern("%Y-%m-%d %H:%M:%S.%e %* [%t] [%!@%#] %v");
    return formatter;
}

// spdlog opens its files with fopen: each one is made the user's alone and closed on exec as soon
// as it is open (children are started with only their standard streams besides).
spdlog::file_event_handlers privateFileHandlers()
{
    spdlog::file_event_handlers handlers;
    handlers.after_open = [](const spdlog::filename_t&, std::FILE* file) {
        const int fd = ::fileno(file);
        ::fchmod(fd, 0600);
        ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    };
    return handlers;
}

// Records reach the file in batches. A write per record cost a page's call through the browser
// process (three records) about a tenth of the call's own time. A warning or an error goes out at
// once, with everything before it; anything else within kFlushDelay, written by a thread that
// waits for the first record after a flush; what is left at exit, when that thread is stopped.
constexpr auto kFlushDelay = std::chrono::milliseconds(100);

class Flusher {
public:
    // Kept for the process's life, like the loggers: a record may come from any thread until exit.
    static Flusher& instance()
    {
        static auto* flusher = new Flusher;
        return *flusher;
    }

    // After a record that was not flushed with it.
    void recordWritten()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped) {
                flushNow(); // after exit began nothing waits: each record goes out by itself
                return;
            }
            if (std::exchange(m_unflushed, true))
                return; // the thread is already on its way
        }
        m_wake.notify_one();
    }

    // The thread ends with a last flush; records after it are flushed one by one. At exit.
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        flushNow();
    }

    static void flushNow()
    {
        if (spdlog::logger* logger = g_logger.load(std::memory_order_acquire))
            logger->flush();
    }

private:
    Flusher()
        : m_thread([this] { run(); })
    {
        std::atexit([] { instance().stop(); });
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_unflushed || m_stopped; });
            if (m_stopped)
                return;
            m_wake.wait_for(lock, kFlushDelay, [this] { return m_stopped; }); // more may come meanwhile
            m_unflushed = false;
            lock.unlock();
            flushNow();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_unflushed = false;
    bool m_stopped = false;
    std::thread m_thread;
};

bool isControlCharacter(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

} // namespace

std::string escapeControlCharacters(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (!isControlCharacter(c)) {
            escaped += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        default: {
            constexpr char kHex[] = "0123456789abcdef";
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        }
        }
    }
    return escaped;
}

Severity severityFromSetting(std::string_view setting)
{
    if (setting.empty())
        return Severity::Info;
    switch (std::toupper(static_cast<unsigned char>(setting.front()))) {
    case 'F': return Severity::Fatal;
    case 'E': return Severity::Error;
    case 'W': return Severity::Warning;
    case 'I': return Severity::Info;
    case 'D': return Severity::Debug;
    case 'V': return Severity::Verbose;
    default: return Severity::None;
    }
}

std::string_view severityName(Severity severity)
{
    switch (severity) {
    case Severity::Fatal: return "FATAL";
    case Severity::Error: return "ERROR";
    case Severity::Warning: return "WARN";
    case Severity::Info: return "INFO";
    case Severity::Debug: return "DEBUG";
    case Severity::Verbose: return "VERB";
    case Severity::None: break;
    }
    return "NONE";
}

bool initialize(const Settings& settings)
{
    // Every logger made is kept for the life of the process and never registered, so neither
    // spdlog's registry nor a later start can drop one while a thread still logs to it. The list is
    // leaked on purpose: exit never destroys it under a thread that logs through g_logger. A process
    // starts its log once; a test binary may start one per test.
    static auto* mutex = new std::mutex;
    static auto* loggers = new std::vector<std::shared_ptr<spdlog::logger>>;
    std::lock_guard lock(*mutex);
    std::error_code ignored;
    std::filesystem::create_directories(settings.file.parent_path(), ignored);
    try {
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            settings.file.string(), settings.maxFileSize, settings.maxFiles > 1 ? settings.maxFiles - 1 : 0, false, privateFileHandlers());
        auto logger = std::make_shared<spdlog::logger>("tvn", std::move(sink));
        logger->set_formatter(recordFormatter());
        logger->set_level(toSpdlog(settings.level));
        logger->flush_on(spdlog::level::warn); // the rest: see Flusher
        Flusher::flushNow(); // what the log before this one still holds
        g_logger.store(logger.get(), std::memory_order_release);
        Flusher::instance();
        loggers->push_back(std::move(logger));
        return true;
    } catch (const spdlog::spdlog_ex&) {
        return false; // the file cannot be opened: this process logs nothing
    }
}

bool startLogging(std::string_view role)
{
    Settings settings;
    settings.file = appDataPath("logs") / (std::string(role) + ".log");
    settings.level = severityFromSetting(GlobalConfig::instance().getString("loglevel", "Info"));
    if (!initialize(settings))
        return false;
    write(Severity::Info, "Application::Application", __LINE__, "-------------------------------------------");
    write(Severity::Info, "Application::Application", __LINE__, "process started");
    return true;
}

bool enabled(Severity severity)
{
    if (severity == Severity::None)
        return false;
    spdlog::logger* logger = g_logger.load(std::memory_order_acquire);
    return logger && logger->should_log(toSpdlog(severity));
}

void write(Severity severity, const char* function, int line, std::string_view message)
{
    spdlog::logger* logger = g_logger.load(std::memory_order_acquire);
    if (!logger)
        return;
    // A record is one line whatever it quotes: a file name or a server's answer with a line break
    // in it cannot forge a record of its own.
    const spdlog::source_loc where { "", line, function };
    const spdlog::level::level_enum level = toSpdlog(severity);
    if (std::none_of(message.begin(), message.end(), isControlCharacter))
        logger->log(where, level, message);
    else
        logger->log(where, level, escapeControlCharacters(message));
    if (level < spdlog::level::warn && logger->should_log(level))
        Flusher::instance().recordWritten();
}

void flush()
{
    Flusher::flushNow();
}

} // namespace tvn::log
