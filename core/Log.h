// The logging statements: one macro per severity, stream style.
//
//     LOG_INFO << "create buildin module: " << name;
//
// Each record carries the writing function as Class::Method and the source line. A statement made
// before the process set up its log, or below the configured severity, costs one atomic load and
// formats nothing.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace tvn::log {

// The severities with their numeric values: none 0 ... verbose 6.
enum class Severity { None = 0, Fatal, Error, Warning, Info, Debug, Verbose };

bool enabled(Severity);
void write(Severity, const char* function, int line, std::string_view message);

// "Class::Method" from a compiler's pretty function signature: the return type, parameters,
// template arguments and the project namespace are dropped.
std::string functionName(std::string_view prettyFunction);

class Record {
public:
    Record(Severity severity, const char* function, int line)
        : m_severity(severity), m_function(function), m_line(line) { }
    ~Record() { write(m_severity, m_function, m_line, m_stream.view()); }

    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    std::ostringstream& stream() { return m_stream; }

private:
    Severity m_severity;
    const char* m_function;
    int m_line;
    std::ostringstream m_stream;
};

} // namespace tvn::log

// The function name is worked out once per statement: each expansion's lambda has its own static.
#define TVN_LOG_FUNCTION() \
    [](const char* pretty) { static const std::string name = ::tvn::log::functionName(pretty); return name.c_str(); }(__PRETTY_FUNCTION__)

#define TVN_LOG(severity) \
    if (!::tvn::log::enabled(severity)) { } else ::tvn::log::Record(severity, TVN_LOG_FUNCTION(), __LINE__).stream()

#define LOG_FATAL TVN_LOG(::tvn::log::Severity::Fatal)
#define LOG_ERROR TVN_LOG(::tvn::log::Severity::Error)
#define LOG_WARN TVN_LOG(::tvn::log::Severity::Warning)
#define LOG_INFO TVN_LOG(::tvn::log::Severity::Info)
#define LOG_DEBUG TVN_LOG(::tvn::log::Severity::Debug)
#define LOG_VERBOSE TVN_LOG(::tvn::log::Severity::Verbose)
