// The frameless window's hit-test, region and size-throttle rules.
#include "window/WindowRules.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(WindowRules, HitTestWhileResizable)
{
    const int w = 1168, h = 832;
    EXPECT_EQ(hitTest(2, 2, w, h, true, false, false), kHitTopLeft);
    EXPECT_EQ(hitTest(w - 4, 2, w, h, true, false, false), kHitTopRight); // x > right - 5 ...
    EXPECT_EQ(hitTest(w - 5, 2, w, h, true, false, false), kHitTop);      // ... and no further
    EXPECT_EQ(hitTest(w - 2, 2, w, h, true, false, false), kHitTopRight);
    EXPECT_EQ(hitTest(200, 2, w, h, true, false, false), kHitTop);
    EXPECT_EQ(hitTest(200, 2, w, h, true, false, true), kHitTop); // the edge wins over a region
    EXPECT_EQ(hitTest(2, 400, w, h, true, false, false), kHitLeft);
    EXPECT_EQ(hitTest(w - 1, 400, w, h, true, false, false), kHitRight);
    EXPECT_EQ(hitTest(400, h - 1, w, h, true, false, false), kHitBottom);
    EXPECT_EQ(hitTest(1, h - 1, w, h, true, false, false), kHitBottomLeft);
    EXPECT_EQ(hitTest(w - 1, h - 1, w, h, true, false, false), kHitBottomRight);
    EXPECT_EQ(hitTest(400, 400, w, h, true, false, false), kHitClient);
    EXPECT_EQ(hitTest(400, 400, w, h, true, false, true), kHitCaption);
    EXPECT_EQ(hitTest(2, 400, w, h, true, true, false), kHitClient); // maximised: no border
}

TEST(WindowRules, HitTestWhileNotResizable)
{
    EXPECT_EQ(hitTest(2, 2, 1168, 832, false, false, false), kHitClient); // the top does not resize
    EXPECT_EQ(hitTest(2, 400, 1168, 832, false, false, false), kHitClient);
    EXPECT_EQ(hitTest(400, 2, 1168, 832, false, false, true), kHitCaption);
    EXPECT_TRUE(belongsToWindow(9, false));
    EXPECT_FALSE(belongsToWindow(10, false));
    EXPECT_TRUE(belongsToWindow(300, true));
}

TEST(WindowRules, DraggableRegions)
{
    const std::vector<DraggableRegion> regions = {
        { 0, 0, 200, 40, true },
        { 150, 10, 30, 20, false }, // a button in the title bar
    };
    EXPECT_TRUE(inDraggableRegion(regions, 100, 20, 1.0));
    EXPECT_FALSE(inDraggableRegion(regions, 0, 20, 1.0));   // on the edge: outside
    EXPECT_FALSE(inDraggableRegion(regions, 200, 20, 1.0));
    EXPECT_FALSE(inDraggableRegion(regions, 160, 20, 1.0)); // in the hole
    EXPECT_FALSE(inDraggableRegion(regions, 100, 60, 1.0));
    EXPECT_TRUE(inDraggableRegion(regions, 150, 30, 1.5));  // at 144 DPI: (100, 20) on the page
    EXPECT_FALSE(inDraggableRegion(regions, 240, 30, 1.5)); // (160, 20): the hole

    // A hole listed first still wins.
    EXPECT_FALSE(inDraggableRegion({ { 10, 10, 10, 10, false }, { 0, 0, 100, 100, true } }, 15, 15, 1.0));
    EXPECT_FALSE(inDraggableRegion({}, 1, 1, 1.0));
}

// The web process's report: entries of another shape are skipped, not trusted.
TEST(WindowRules, RegionsFromTheReport)
{
    const nlohmann::json report = nlohmann::json::parse(R"([[0, 0, 200, 40, 1], [150.6, 10, 30, 20, 0], [1, 2, 3], "x", [1, 2, 3, 4, "1"], [0, 0, 1e300, 5, 1]])");
    const std::vector<DraggableRegion> regions = draggableRegionsFromJson(report);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_TRUE(regions[0].draggable);
    EXPECT_EQ(regions[1].x, 150);
    EXPECT_FALSE(regions[1].draggable);
    EXPECT_EQ(regions[2].width, 1'000'000'000); // clamped, never undefined
    EXPECT_TRUE(draggableRegionsFromJson(nlohmann::json::object()).empty());
}

// Fifty size changes 4 ms apart: a few notifications, the last size among them and last.
TEST(WindowRules, SizeThrottle)
{
    SizeThrottle throttle;
    const int64_t start = 1'000'000;
    std::vector<int64_t> changes;
    for (int i = 0; i < 50; ++i)
        changes.push_back(start + 4 * i);

    // Replay in time order: each change, then each look that falls due before the next change.
    std::vector<int64_t> delivered;
    size_t looked = 0;
    for (size_t i = 0; i <= changes.size(); ++i) {
        const int64_t now = i < changes.size() ? changes[i] : changes.back() + 1000;
        while (looked < i && changes[looked] + SizeThrottle::kDelayMs <= now) {
            if (throttle.shouldDeliver(changes[looked]))
                delivered.push_back(changes[looked]);
            ++looked;
        }
        if (i < changes.size()) {
            ASSERT_TRUE(throttle.sizeChanged(kSizeRestored, changes[i]));
        }
    }
    EXPECT_GE(delivered.size(), 2u);
    EXPECT_LE(delivered.size(), 5u);
    EXPECT_EQ(delivered.front(), start); // the first one goes at once (50 ms later)
    EXPECT_EQ(delivered.back(), changes.back());
    for (size_t i = 1; i + 1 < delivered.size(); ++i) // the final size may follow closer
        EXPECT_GT(delivered[i] - delivered[i - 1], SizeThrottle::kDelayMs);

    EXPECT_FALSE(throttle.sizeChanged(kSizeMinimized, start + 5000)); // nothing while minimised
    EXPECT_TRUE(throttle.sizeChanged(kSizeMaximized, start + 5000));
    EXPECT_TRUE(throttle.shouldDeliver(start + 5000));
}
