// Where the main window opens: the size, position and maximised state it had when it last closed,
// kept in config.ini ([window] placement = "x,y,width,height[,maximized]"), put back only where it
// still fits: on a monitor that is still there, no smaller than the window's minimum and no larger
// than that monitor's work area. Plain functions; MainWindow does the toolkit's part.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowRect&) const = default;
};

struct WindowPlacement {
    WindowRect frame; // the restored (not maximised) frame
    bool maximized = false;
    bool operator==(const WindowPlacement&) const = default;
};

// The smallest size at which the page's layout still works, in unscaled pixels.
inline constexpr int kMinimumWindowWidth = 760;
inline constexpr int kMinimumWindowHeight = 520;

std::string formatPlacement(const WindowPlacement&);
// Nullopt for anything but four integers (a positive size) and an optional "maximized".
std::optional<WindowPlacement> parsePlacement(std::string_view);

// The saved placement as it may open among today's work areas: on the area that holds most of its
// title strip, its size clamped to [minimum, area] and moved wholly inside; nullopt when no area
// holds any of that strip (its monitor is gone), so the window opens at its default place.
std::optional<WindowPlacement> restoredPlacement(const WindowPlacement& saved, const std::vector<WindowRect>& workAreas, int minimumWidth,
    int minimumHeight);

} // namespace tvn
