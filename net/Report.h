// Usage events for the reporting server: an event name and eleven parameters, wrapped with the
// device, channel, session and time into one form-encoded POST to /dot/batch. Silent: nothing is
// logged, retried or returned. The user may turn them off.
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

// Whether the user lets tvn send usage reports: config.ini [report] send (on unless "false").
// Off, no event goes to the reporting server and heartbeats leave out the device id; the calls a
// download needs (its address, the token for it) still go.
bool usageReportsAllowed();
// Stores the choice (in this process at once, in the file for the next).
bool allowUsageReports(bool);

// Sends the body and waits for the answer (at most about 10 s), which is ignored. Nothing is sent
// while usage reports are not allowed.
void postReport(const std::string& body);

} // namespace tvn
