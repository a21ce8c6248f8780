// The values start-up derives once and other parts read: the channel id from the executable and
// bd_vid from the installation source. Set on the main thread before any other thread starts.
#pragma once

#include <string>

namespace tvn {

const std::string& channelId();
const std::string& bdVid();
void setChannelId(std::string);
void setBdVid(std::string);

} // namespace tvn
