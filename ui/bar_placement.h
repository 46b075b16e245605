// Keeping the bar where the user can reach it when the monitors change: a second monitor was
// unplugged, the resolution was lowered, or the place in config.ini was edited.
#pragma once

#include <cstdint>
#include <span>

namespace oruvel {

// A rectangle in screen coordinates; right and bottom lie just outside it.
struct ScreenRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct MonitorArea {
    ScreenRect bounds;    // the whole monitor
    ScreenRect workArea;  // without the taskbar and other docked bars
};

// The bar's coordinates are kept within this range; places beyond it confuse the window manager.
inline constexpr int32_t kCoordinateLimit = 32627;

// A coordinate of the bar's place as the bar takes it: clamped to -kCoordinateLimit..
// kCoordinateLimit.
int32_t ClampBarCoordinate(int32_t coordinate);

// How much of the bar, across and down, one monitor must show for the user to grab and drag it.
inline constexpr int32_t kGrabbablePixels = 10;

// Where the bar `bar` goes on the monitors `monitors`: where it is when some monitor shows a piece
// of it at least kGrabbablePixels wide and high (over the taskbar counts: an always-on-top bar
// stays above it); otherwise wholly inside the work area of the nearest monitor, moved as little as
// that takes. Of equally near monitors the first in the list is taken. No monitor: where it is.
ScreenRect PlaceBar(const ScreenRect& bar, std::span<const MonitorArea> monitors);

}  // namespace oruvel
