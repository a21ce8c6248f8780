// The values start-up derives once and other parts read: the channel id from the executable,
// bd_vid from the installation source, and in a web process the browser process's arguments. Set
// on the main thread before any other thread starts.
#pragma once

#include <string>
#include <vector>

namespace tvn {

const std::string& channelId();
const std::string& bdVid();
void setChannelId(std::string);
void setBdVid(std::string);
// The browser process's argv as it handed it over; empty when none came.
const std::vector<std::string>& browserArguments();
void setBrowserArguments(std::vector<std::string>);

} // namespace tvn
