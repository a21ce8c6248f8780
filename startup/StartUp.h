// The pure pieces of process start-up: what the entry function derives from the command line,
// the configuration and the executable before any role is decided.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace tvn {

// bd_vid from the "inst" setting: "tvbd_<value>[_...]" gives <value>; anything else gives "".
std::string bdVidFromInst(std::string_view inst);

// The report run's --scene: the event name and its first three parameters, split at ",".
// Missing pieces are empty; pieces beyond the fourth are dropped.
struct SceneEvent {
    std::string name;
    std::array<std::string, 3> parameters;
};
SceneEvent parseScene(std::string_view scene);

// "LANTHORN_MUTEX_" and the MD5 of the executable path with ASCII letters lower-cased, so that two
// spellings of one path share the name and two copies of the program do not.
std::string singleInstanceName(const std::filesystem::path& executable);

// The channel id the build wrote into the executable's channel section; "" when it cannot be read.
std::string readChannelId(const std::filesystem::path& executable);

} // namespace tvn
