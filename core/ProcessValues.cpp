// Process-wide start-up values.

#include "core/ProcessValues.h"

namespace tvn {

namespace {
std::string g_channelId;
std::string g_bdVid;
std::vector<std::string> g_browserArguments;
}

const std::string& channelId() { return g_channelId; }
const std::string& bdVid() { return g_bdVid; }
void setChannelId(std::string value) { g_channelId = std::move(value); }
void setBdVid(std::string value) { g_bdVid = std::move(value); }
const std::vector<std::string>& browserArguments() { return g_browserArguments; }
void setBrowserArguments(std::vector<std::string> value) { g_browserArguments = std::move(value); }

} // namespace tvn
