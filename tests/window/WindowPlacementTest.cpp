// The main window's saved placement: its text, and where it opens again among today's monitors.
#include "window/WindowPlacement.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(WindowPlacement, TextRoundTripsAndRefusesWhatIsNotAPlacement)
{
    const WindowPlacement maximized { { -20, 40, 1000, 700 }, true };
    EXPECT_EQ(formatPlacement(maximized), "-20,40,1000,700,maximized");
    EXPECT_EQ(parsePlacement(formatPlacement(maximized)), maximized);
    EXPECT_EQ(parsePlacement("10,20,800,600"), (WindowPlacement { { 10, 20, 800, 600 }, false }));
    for (const char* wrong : { "", "10,20,800", "10,20,800,600,", "10,20,800,600,minimized", "10,20,0,600", "10,20,800,-1",
             "10, 20,800,600", "10,20,800,600x", "a,20,800,600", "10,20,800,600,maximized,1", "99999999999,0,800,600" })
        EXPECT_EQ(parsePlacement(wrong), std::nullopt) << wrong;
}

TEST(WindowPlacement, OpensWhereItWasWhileThatStillFits)
{
    const std::vector<WindowRect> areas { { 0, 0, 1920, 1050 }, { 1920, 0, 1280, 1000 } };
    // As it was, on either monitor.
    const WindowPlacement onSecond { { 2000, 100, 1000, 700 }, false };
    EXPECT_EQ(restoredPlacement(onSecond, areas, 760, 520), onSecond);
    // Partly off the edge: moved wholly inside the area that holds most of its title strip.
    EXPECT_EQ(restoredPlacement({ { 1200, -10, 1000, 700 }, true }, areas, 760, 520), (WindowPlacement { { 920, 0, 1000, 700 }, true }));
    // Smaller than the minimum, or larger than its monitor: clamped.
    EXPECT_EQ(restoredPlacement({ { 100, 100, 300, 200 }, false }, areas, 760, 520), (WindowPlacement { { 100, 100, 760, 520 }, false }));
    EXPECT_EQ(restoredPlacement({ { 2000, 0, 3000, 2000 }, false }, areas, 760, 520), (WindowPlacement { { 1920, 0, 1280, 1000 }, false }));
    // Its monitor is gone: the default place. A strip that touches an area's edge is not on it.
    EXPECT_EQ(restoredPlacement({ { 3200, 0, 800, 600 }, false }, areas, 760, 520), std::nullopt);
    EXPECT_EQ(restoredPlacement({ { 0, 1050, 800, 600 }, false }, areas, 760, 520), std::nullopt);
    EXPECT_NE(restoredPlacement({ { 0, 1049, 800, 600 }, false }, areas, 760, 520), std::nullopt);
    // A work area smaller than the minimum: the area wins.
    EXPECT_EQ(restoredPlacement({ { 0, 0, 800, 600 }, false }, { { 0, 0, 640, 480 } }, 760, 520), (WindowPlacement { { 0, 0, 640, 480 }, false }));
}
