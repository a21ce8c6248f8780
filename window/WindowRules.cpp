// The window's rules.

#include "window/WindowRules.h"

#include <algorithm>

namespace tvn {

namespace {

bool strictlyInside(const DraggableRegion& region, int x, int y)
{
    return region.x < x && x < region.x + region.width && region.y < y && y < region.y + region.height;
}

} // namespace

std::vector<DraggableRegion> draggableRegionsFromJson(const nlohmann::json& list)
{
    std::vector<DraggableRegion> regions;
    if (!list.is_array())
        return regions;
    for (const nlohmann::json& entry : list) {
        if (!entry.is_array() || entry.size() != 5)
            continue;
        bool numbers = true;
        for (const nlohmann::json& field : entry)
            numbers = numbers && field.is_number();
        if (!numbers)
            continue;
        const auto field = [&entry](size_t index) { return static_cast<int>(std::clamp(entry[index].get<double>(), -1e9, 1e9)); };
        regions.push_back({ field(0), field(1), field(2), field(3), field(4) != 0 });
    }
    return regions;
}

bool inDraggableRegion(const std::vector<DraggableRegion>& regions, int x, int y, double scale)
{
    if (scale <= 0)
        scale = 1;
    const int pageX = static_cast<int>(x / scale);
    const int pageY = static_cast<int>(y / scale);
    bool draggable = false;
    for (const DraggableRegion& region : regions) {
        if (!strictlyInside(region, pageX, pageY))
            continue;
        if (!region.draggable)
            return false; // holes win, whatever their order
        draggable = true;
    }
    return draggable;
}

HitCode hitTest(int x, int y, int width, int height, bool resizable, bool maximized, bool draggable)
{
    const bool border = resizable && !maximized;
    if (resizable && y < kResizeBorder) {
        if (x < kResizeBorder)
            return kHitTopLeft;
        if (x > width - kResizeBorder) // the top strip's own rule: the corner is 4 pixels wide
            return kHitTopRight;
        return kHitTop;
    }
    if (draggable)
        return kHitCaption;
    if (!border)
        return kHitClient;
    const bool left = x < kResizeBorder;
    const bool right = x >= width - kResizeBorder;
    const bool bottom = y >= height - kResizeBorder;
    if (bottom)
        return left ? kHitBottomLeft : right ? kHitBottomRight : kHitBottom;
    if (left)
        return kHitLeft;
    if (right)
        return kHitRight;
    return kHitClient;
}

bool SizeThrottle::sizeChanged(int sizeType, int64_t nowMs)
{
    if (sizeType != kSizeRestored && sizeType != kSizeMaximized)
        return false;
    m_lastChange = nowMs;
    return true;
}

bool SizeThrottle::shouldDeliver(int64_t changedAtMs)
{
    if (changedAtMs > m_lastNotification + kDelayMs || changedAtMs == m_lastChange) {
        m_lastNotification = changedAtMs;
        return true;
    }
    return false;
}

} // namespace tvn
