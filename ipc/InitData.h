// What the browser process hands every web process when it starts (the web extension's
// initialization data): the main window's id, the browser's argv, the executable's path, the window
// channel's address and the start page's origin (the one origin whose frames get `module`).
#pragma once

#include <cstdint>
#include <glib.h>
#include <optional>
#include <string>
#include <vector>

namespace tvn {

struct InitData {
    int64_t mainWindowId = 0;
    std::vector<std::string> browserArguments;
    std::string executablePath;
    std::string windowChannel;
    std::string startOrigin;
};

// A floating GVariant of type (xassss).
GVariant* toVariant(const InitData&);
// nullopt when the variant is missing or of another type.
std::optional<InitData> initDataFromVariant(GVariant*);

} // namespace tvn
