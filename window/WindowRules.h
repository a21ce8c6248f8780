// The frameless main window's rules, as plain functions: what a point of the window is for
// (hit-testing), whether it lies in one of the page's draggable regions, and when a size change
// is passed on to the page.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

namespace tvn {

// The hit codes, with the values the window system gives them.
enum HitCode : int {
    kHitTransparent = -1,
    kHitClient = 1,
    kHitCaption = 2,
    kHitLeft = 10,
    kHitRight = 11,
    kHitTop = 12,
    kHitTopLeft = 13,
    kHitTopRight = 14,
    kHitBottom = 15,
    kHitBottomLeft = 16,
    kHitBottomRight = 17,
};

inline constexpr int kResizeBorder = 5; // device pixels, not scaled
inline constexpr int kTopStrip = 10;    // the page's top strip belongs to the window

// A rectangle of the page (device-independent pixels) that drags the window, or a hole in one.
struct DraggableRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool draggable = true;
};

// The web process's report of the main frame's regions: [[x, y, width, height, draggable], ...],
// draggable 1 or 0. Entries of another shape are skipped.
inline constexpr const char* kDraggableRegionsMessage = "draggableRegions";
std::vector<DraggableRegion> draggableRegionsFromJson(const nlohmann::json&);

// (x, y) in device pixels from the page's top-left corner, divided by the scale and truncated,
// lies strictly inside a draggable region (edges are outside) and inside no non-draggable one.
bool inDraggableRegion(const std::vector<DraggableRegion>&, int x, int y, double scale);

// What the point (window coordinates, device pixels) of a window of that size is for. While
// resizable, the top 5 pixels resize upwards (the corners diagonally) and, unless maximised, a
// 5-pixel border at the left, right and bottom resizes; a draggable point is the caption; all
// else is the page's.
HitCode hitTest(int x, int y, int width, int height, bool resizable, bool maximized, bool draggable);

// Whether a press on the page at (x, y) belongs to the window instead: the top strip and the
// draggable regions.
inline bool belongsToWindow(int y, bool draggable) { return y < kTopStrip || draggable; }

// The size notifications' throttle. Every size change (restored or maximised; nothing while
// minimised) is looked at 50 ms later: it goes to the page when more than 50 ms have passed since
// the last notification, or when it is still the latest change. So while sizes stream in, about one
// notification per 50 ms gets through, and the last size always does.
//
// States: idle -> pending (sizeChanged) -> delivered or dropped (shouldDeliver, 50 ms later).
class SizeThrottle {
public:
    static constexpr int64_t kDelayMs = 50;

    // A size change at `nowMs`; true when a notification is to be looked at kDelayMs later.
    bool sizeChanged(int sizeType, int64_t nowMs);
    // The look, for the change made at `changedAtMs`; true when it goes to the page.
    bool shouldDeliver(int64_t changedAtMs);

private:
    int64_t m_lastChange = 0;
    int64_t m_lastNotification = 0;
};

inline constexpr int kSizeRestored = 0;
inline constexpr int kSizeMinimized = 1;
inline constexpr int kSizeMaximized = 2;

} // namespace tvn
