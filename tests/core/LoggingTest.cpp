// Each test runs in a process of its own, so each starts the one log of its process.
#include "core/Logging.h"

#include "tests/support/Environment.h"
#include "tests/support/Eventually.h"
#include "tests/support/LogFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <regex>
#include <sys/syscall.h>
#include <unistd.h>

using namespace tvn;
using test::TempDir;
using log::Severity;

namespace {

// The descriptors of this process open on `path`, with whether each closes on exec.
std::vector<bool> closeOnExecOf(const std::filesystem::path& path)
{
    std::vector<bool> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path)
            found.push_back(::fcntl(std::stoi(entry.path().filename().string()), F_GETFD) & FD_CLOEXEC);
    }
    return found;
}

} // namespace

namespace {

std::vector<std::string> lines(const std::filesystem::path& file)
{
    std::vector<std::string> result;
    std::istringstream text(test::logText(file));
    for (std::string line; std::getline(text, line);)
        result.push_back(line);
    return result;
}

struct Widget {
    std::string work() { LOG_WARN << "widget at work: " << 42; return log::functionName(__PRETTY_FUNCTION__); }
    static void shout() { LOG_ERROR << "static"; }
};

} // namespace

TEST(Logging, LevelFromSetting)
{
    EXPECT_EQ(log::severityFromSetting(""), Severity::Info);
    EXPECT_EQ(log::severityFromSetting("debug"), Severity::Debug);
    EXPECT_EQ(log::severityFromSetting("Debug"), Severity::Debug);
    EXPECT_EQ(log::severityFromSetting("verbose"), Severity::Verbose);
    EXPECT_EQ(log::severityFromSetting("Verb"), Severity::Verbose);
    EXPECT_EQ(log::severityFromSetting("fatal"), Severity::Fatal);
    EXPECT_EQ(log::severityFromSetting("e"), Severity::Error);
    EXPECT_EQ(log::severityFromSetting("Warning"), Severity::Warning);
    EXPECT_EQ(log::severityFromSetting("info"), Severity::Info);
    EXPECT_EQ(log::severityFromSetting("x"), Severity::None);
    EXPECT_EQ(log::severityFromSetting("0"), Severity::None);
}

TEST(Logging, FunctionNames)
{
    using log::functionName;
    EXPECT_EQ(functionName("void tvn::MainWindow::Create(int, int)"), "MainWindow::Create");
    EXPECT_EQ(functionName("tvn::Application::Application(std::string_view)"), "Application::Application");
    EXPECT_EQ(functionName("virtual tvn::Application::~Application()"), "Application::~Application");
    EXPECT_EQ(functionName("static T& tvn::Singleton<T>::instance() [with T = tvn::GlobalConfig]"), "Singleton::instance");
    EXPECT_EQ(functionName("std::map<int, std::vector<int> > tvn::EventBus::Bus::table(const std::pair<int, int>&) const"),
        "EventBus::Bus::table");
    EXPECT_EQ(functionName("void tvn::{anonymous}::helper()"), "helper");
    EXPECT_EQ(functionName("tvn::Client::HandleCall(int)::<lambda(int)>"), "Client::HandleCall");
    EXPECT_EQ(functionName("bool tvn::Widget::operator()(int) const"), "Widget::operator()");
    EXPECT_EQ(functionName("bool tvn::Widget::operator<(const tvn::Widget&) const"), "Widget::operator<");
    EXPECT_EQ(functionName("tvn::Widget::operator bool() const"), "Widget::operator bool");
    EXPECT_EQ(functionName("int main(int, char**)"), "main");
    EXPECT_EQ(Widget().work(), "Widget::work"); // the compiler's own signature
}

TEST(Logging, StatementsBeforeSetUpAreDropped)
{
    EXPECT_FALSE(log::enabled(Severity::Fatal));
    LOG_FATAL << "nowhere";
}

TEST(Logging, RecordFormatAndBanner)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    ASSERT_TRUE(log::startLogging("main")); // creates <app data>/logs with its parents
    Widget().work();
    Widget::shout();
    LOG_DEBUG << "below the default level";

    const auto written = lines(dir / "tvn" / "logs" / "main.log");
    ASSERT_EQ(written.size(), 4u);
    const std::string tid = std::to_string(syscall(SYS_gettid));
    const std::regex record(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (.{5}) \[(\d+)\] \[([^@]+)@(\d+)\] (.*))");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(written[0], parts, record)) << written[0];
    EXPECT_EQ(parts[2], "INFO ");
    EXPECT_EQ(parts[3], tid);
    EXPECT_EQ(parts[4], "Application::Application");
    EXPECT_EQ(parts[6], std::string(43, '-'));
    ASSERT_TRUE(std::regex_match(written[1], parts, record));
    EXPECT_EQ(parts[6], "process started");
    ASSERT_TRUE(std::regex_match(written[2], parts, record));
    EXPECT_EQ(parts[2], "WARN ");
    EXPECT_EQ(parts[4], "Widget::work");
    EXPECT_EQ(parts[6], "widget at work: 42");
    ASSERT_TRUE(std::regex_match(written[3], parts, record));
    EXPECT_EQ(parts[2], "ERROR");
    EXPECT_EQ(parts[4], "Widget::shout");
}

// A name with a line break in it cannot forge a record: the record stays one line, the break
// written out. The log file is the user's alone and is closed on exec.
TEST(Logging, RecordsStayOneLineInAPrivateFile)
{
    test::TempDir dir;
    const auto file = dir / "logs" / "main.log";
    ASSERT_TRUE(log::initialize({ file, log::Severity::Info }));
    LOG_INFO << "download failed: evil\n2026-12-08 10:00:00.000 INFO  [1] [Engine::repair@1] all is well\r\x1b[2J\x7f\ttab";
    const std::string written = test::logText(file);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << written;
    EXPECT_NE(written.find("evil\\n2026-12-08 10:00:00.000 INFO  [1] [Engine::repair@1] all is well\\r\\x1b[2J\\x7f\\ttab\n"), std::string::npos) << written;
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(closeOnExecOf(file), std::vector<bool> { true });

    EXPECT_EQ(log::escapeControlCharacters("C:\\Windows\\x.dll \xE7\xA1\xAE"), "C:\\Windows\\x.dll \xE7\xA1\xAE"); // only control characters
    EXPECT_EQ(log::escapeControlCharacters(std::string("a\0b", 3)), "a\\x00b");
}

TEST(Logging, LevelFromConfiguration)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir / "tvn");
    test::writeFile(dir / "tvn" / "config.ini", "[app]\nloglevel = Verb\n");
    ASSERT_TRUE(log::startLogging("renderer"));
    LOG_VERBOSE << "detail";
    const auto written = lines(dir / "tvn" / "logs" / "renderer.log");
    ASSERT_EQ(written.size(), 3u);
    EXPECT_NE(written[2].find(" VERB  ["), std::string::npos);
}

TEST(Logging, NoneWritesNothingNotEvenTheBanner)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir / "tvn");
    test::writeFile(dir / "tvn" / "config.ini", "[app]\nloglevel = x\n");
    log::startLogging("main");
    LOG_FATAL << "not even this";
    EXPECT_EQ(test::logText(dir / "tvn" / "logs" / "main.log"), "");
}

TEST(Logging, RotatesAtTheSizeLimitKeepingFiveFiles)
{
    TempDir dir;
    ASSERT_TRUE(log::initialize({ dir / "logs" / "main.log", Severity::Info, 4096, 5 }));
    for (int i = 0; i < 1000; ++i)
        LOG_INFO << "record " << i << ' ' << std::string(40, 'x');
    log::flush();

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "logs")) {
        names.push_back(entry.path().filename());
        EXPECT_LE(entry.file_size(), 4096u);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "main.1.log", "main.2.log", "main.3.log", "main.4.log", "main.log" }));
    const auto last = lines(dir / "logs" / "main.log");
    ASSERT_FALSE(last.empty());
    EXPECT_NE(last.back().find("record 999 "), std::string::npos);
}

// Records below a warning go out in batches, by the log's own thread; a warning at once, with
// everything before it; what is left when the process exits, at exit.
TEST(Logging, RecordsReachTheFileSoonAWarningAtOnce)
{
    TempDir dir;
    const auto file = dir / "logs" / "main.log";
    ASSERT_TRUE(log::initialize({ file, Severity::Info }));
    LOG_INFO << "on its way";
    EXPECT_TRUE(test::eventually([&] { return test::readFile(file).find("on its way") != std::string::npos; }));
    LOG_INFO << "held";
    LOG_WARN << "at once";
    const std::string written = test::readFile(file);
    EXPECT_NE(written.find("held"), std::string::npos);
    EXPECT_NE(written.find("at once"), std::string::npos);
}

TEST(Logging, WhatIsLeftIsWrittenAtExit)
{
    // A fresh process, not a fork of this one's threads: it runs this test again from the start,
    // and finds the file through the environment.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    test::EnvironmentChange environment;
    if (!std::getenv("TVN_TEST_EXIT_LOG"))
        environment.set("TVN_TEST_EXIT_LOG", (dir / "logs" / "main.log").string());
    const std::filesystem::path file = std::getenv("TVN_TEST_EXIT_LOG");
    EXPECT_EXIT({
        log::initialize({ file, Severity::Info });
        for (int i = 0; i < 100; ++i)
            LOG_INFO << "record " << i;
        std::exit(0);
    }, testing::ExitedWithCode(0), "");
    EXPECT_NE(test::readFile(file).find("record 99\n"), std::string::npos);
}
