#include "ui/bar_placement.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace oruvel {
namespace {

// The bar, 100 x 22, with its top-left corner at (left, top).
ScreenRect Bar(int32_t left, int32_t top) {
    return {left, top, left + 100, top + 22};
}

std::string Show(const ScreenRect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d)-(%d,%d)", r.left, r.top, r.right, r.bottom);
    return text;
}

struct Case {
    const char* name;
    ScreenRect bar;
    ScreenRect expected;
};

void Check(const std::vector<MonitorArea>& monitors, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Show(PlaceBar(c.bar, monitors)), Show(c.expected)) << c.name;
    }
}

// 1024 x 768 with a taskbar 40 pixels high along the bottom.
const MonitorArea kSmall{{0, 0, 1024, 768}, {0, 0, 1024, 728}};

TEST(PlaceBar, OneMonitor) {
    Check({kSmall}, {
                        {"on the screen", Bar(100, 100), Bar(100, 100)},
                        {"at the right edge", Bar(924, 0), Bar(924, 0)},
                        {"a left edge of 5000", Bar(5000, 100), Bar(924, 100)},
                        {"the largest place there is", Bar(32627, -5), Bar(924, 0)},
                        {"the smallest place there is", Bar(-32627, -32627), Bar(0, 0)},
                        {"far below", Bar(300, 2000), Bar(300, 706)},
                        {"60 pixels showing on the left", Bar(-40, 100), Bar(-40, 100)},
                        {"10 pixels showing on the left", Bar(-90, 100), Bar(-90, 100)},
                        {"9 pixels showing on the left", Bar(-91, 100), Bar(0, 100)},
                        {"10 rows showing at the top", Bar(100, -12), Bar(100, -12)},
                        {"9 rows showing at the top", Bar(100, -13), Bar(100, 0)},
                        {"10 pixels showing at the right", Bar(1014, 300), Bar(1014, 300)},
                        {"9 pixels showing at the right", Bar(1015, 300), Bar(924, 300)},
                        {"9 rows showing at the bottom", Bar(100, 759), Bar(100, 706)},
                        {"over the taskbar", Bar(900, 740), Bar(900, 740)},
                        {"10 by 10 pixels in a corner", Bar(-90, -12), Bar(-90, -12)},
                        {"10 by 9 pixels in a corner", Bar(-90, -13), Bar(0, 0)},
                    });
}

// The primary 1920 x 1080 (taskbar at the bottom), a second 1280 x 1024 to its left, lower down.
const MonitorArea kPrimary{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}};
const MonitorArea kLeft{{-1280, 200, 0, 1224}, {-1280, 200, 0, 1224}};

TEST(PlaceBar, TwoMonitors) {
    Check({kPrimary, kLeft},
          {
              {"kept on the second monitor", Bar(-800, 500), Bar(-800, 500)},
              {"across both", Bar(-50, 600), Bar(-50, 600)},
              {"on the second, where the primary has no rows", Bar(-800, 1150), Bar(-800, 1150)},
              {"in the void above the second", Bar(-800, 0), Bar(-800, 200)},
              {"in the void below the second", Bar(-800, 1300), Bar(-800, 1202)},
              {"in the void below the primary", Bar(1000, 1100), Bar(1000, 1018)},
              {"below the second, near the primary", Bar(-150, 1240), Bar(-150, 1202)},
              {"far to the left", Bar(-32627, 700), Bar(-1280, 700)},
          });
    Check({kPrimary}, {
                          {"the second monitor unplugged", Bar(-800, 500), Bar(0, 500)},
                          {"on the primary", Bar(300, 300), Bar(300, 300)},
                      });
}

// Left, primary, and a portrait monitor on the right that starts 400 pixels lower, with a taskbar
// along its top.
const MonitorArea kRowLeft{{-1920, 0, 0, 1080}, {-1920, 0, 0, 1080}};
const MonitorArea kRowPrimary{{0, 0, 2560, 1440}, {0, 0, 2560, 1400}};
const MonitorArea kRowRight{{2560, 400, 3640, 2320}, {2560, 440, 3640, 2320}};

TEST(PlaceBar, ThreeMonitors) {
    Check(
        {kRowPrimary, kRowLeft, kRowRight},
        {
            {"kept on the left one", Bar(-1000, 1000), Bar(-1000, 1000)},
            {"kept on the right one", Bar(3000, 2000), Bar(3000, 2000)},
            {"kept in the corner between the primary and the right one", Bar(2500, 1430),
             Bar(2500, 1430)},
            {"above the right one, nearer to it than to the primary", Bar(3200, 100),
             Bar(3200, 440)},
            {"far to the right", Bar(10000, 1000), Bar(3540, 1000)},
            {"below the left one", Bar(-1000, 1200), Bar(-1000, 1058)},
            {"below the primary, beside the right one's column", Bar(2400, 1500), Bar(2400, 1378)},
        });
    Check({kRowPrimary, kRowLeft},
          {
              {"the right one unplugged", Bar(3000, 2000), Bar(2460, 1378)},
          });
}

TEST(PlaceBar, NoMonitorLeavesTheBarWhereItIs) {
    Check({}, {{"no monitor", Bar(5000, 5000), Bar(5000, 5000)}});
}

TEST(PlaceBar, EquallyNearMonitorsGoToTheFirst) {
    const MonitorArea a{{0, 0, 1000, 1000}, {0, 0, 1000, 1000}};
    const MonitorArea b{{2000, 0, 3000, 1000}, {2000, 0, 3000, 1000}};
    // Midway between the two: 950 from each.
    Check({a, b}, {{"a first", Bar(1450, 500), Bar(900, 500)}});
    Check({b, a}, {{"b first", Bar(1450, 500), Bar(2000, 500)}});
}

}  // namespace
}  // namespace oruvel

TEST(ClampBarCoordinate, KeepsThePlaceWithinTheWindowManagersRange) {
    const struct {
        int32_t coordinate, expected;
    } cases[] = {
        {0, 0},           {-5, -5},           {32627, 32627},
        {32628, 32627},   {100000, 32627},    {-32627, -32627},
        {-32628, -32627}, {INT32_MAX, 32627}, {INT32_MIN, -32627},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(oruvel::ClampBarCoordinate(c.coordinate), c.expected) << c.coordinate;
    }
}
