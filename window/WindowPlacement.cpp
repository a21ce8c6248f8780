// The main window's saved placement: its text in config.ini, and where it may open again.

#include "window/WindowPlacement.h"

#include <algorithm>
#include <charconv>

namespace tvn {

namespace {

constexpr int kTitleStrip = 36; // what the user needs on screen to drag the window back

int64_t overlap(const WindowRect& a, const WindowRect& b)
{
    const int64_t width = std::min<int64_t>(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const int64_t height = std::min<int64_t>(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return width > 0 && height > 0 ? width * height : 0;
}

} // namespace

std::string formatPlacement(const WindowPlacement& placement)
{
    const WindowRect& frame = placement.frame;
    return std::to_string(frame.x) + "," + std::to_string(frame.y) + "," + std::to_string(frame.width) + "," + std::to_string(frame.height)
        + (placement.maximized ? ",maximized" : "");
}

std::optional<WindowPlacement> parsePlacement(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 4 && !(fields.size() == 5 && fields[4] == "maximized"))
        return std::nullopt;
    int numbers[4];
    for (size_t i = 0; i < 4; ++i) {
        const std::string_view field = fields[i];
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), numbers[i]);
        if (field.empty() || error != std::errc() || end != field.data() + field.size())
            return std::nullopt;
    }
    if (numbers[2] <= 0 || numbers[3] <= 0)
        return std::nullopt;
    return WindowPlacement { { numbers[0], numbers[1], numbers[2], numbers[3] }, fields.size() == 5 };
}

std::optional<WindowPlacement> restoredPlacement(const WindowPlacement& saved, const std::vector<WindowRect>& workAreas, int minimumWidth,
    int minimumHeight)
{
    const WindowRect strip { saved.frame.x, saved.frame.y, saved.frame.width, std::min(saved.frame.height, kTitleStrip) };
    const WindowRect* best = nullptr;
    int64_t bestOverlap = 0;
    for (const WindowRect& area : workAreas) {
        if (const int64_t shared = overlap(strip, area); shared > bestOverlap) {
            best = &area;
            bestOverlap = shared;
        }
    }
    if (!best)
        return std::nullopt;
    WindowPlacement placement = saved;
    WindowRect& frame = placement.frame;
    frame.width = std::clamp(frame.width, std::min(minimumWidth, best->width), best->width);
    frame.height = std::clamp(frame.height, std::min(minimumHeight, best->height), best->height);
    frame.x = std::clamp(frame.x, best->x, best->x + best->width - frame.width);
    frame.y = std::clamp(frame.y, best->y, best->y + best->height - frame.height);
    return placement;
}

} // namespace tvn
