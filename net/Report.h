// Usage events for the reporting server: an event name and eleven parameters, wrapped with the
// device, channel, session and time into one form-encoded POST to /dot/batch. Silent: nothing is
// logged, retried or returned.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tvn {

using ReportParameters = std::array<std::string, 11>;

// This process's session id: a version-4 UUID made on first use and kept for the process's life.
const std::string& reportSessionId();

// The body: m=<urlEncode of ["<query string of the 21 fields>"]>&v=1.
std::string buildReport(std::string_view eventName, const ReportParameters& parameters);

// Sends the body and waits for the answer (at most about 10 s), which is ignored.
void postReport(const std::string& body);

} // namespace tvn
