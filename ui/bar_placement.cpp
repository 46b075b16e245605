#include "ui/bar_placement.h"

#include <algorithm>

namespace oruvel {

int32_t ClampBarCoordinate(int32_t coordinate) {
    return std::clamp(coordinate, -kCoordinateLimit, kCoordinateLimit);
}

namespace {

bool ShowsGrabbablePiece(const ScreenRect& monitor, const ScreenRect& bar) {
    const int64_t across =
        int64_t{std::min(monitor.right, bar.right)} - std::max(monitor.left, bar.left);
    const int64_t down =
        int64_t{std::min(monitor.bottom, bar.bottom)} - std::max(monitor.top, bar.top);
    return across >= kGrabbablePixels && down >= kGrabbablePixels;
}

// The gap between two rectangles along one axis; 0 where they overlap.
int64_t Gap(int32_t lowA, int32_t highA, int32_t lowB, int32_t highB) {
    return std::max<int64_t>({0, int64_t{lowB} - highA, int64_t{lowA} - highB});
}

int64_t SquaredDistance(const ScreenRect& a, const ScreenRect& b) {
    const int64_t across = Gap(a.left, a.right, b.left, b.right);
    const int64_t down = Gap(a.top, a.bottom, b.top, b.bottom);
    return across * across + down * down;
}

// The start of a span of `length` moved as little as it takes into [low, high); at `low` when it
// does not fit.
int32_t MoveInto(int32_t start, int32_t length, int32_t low, int32_t high) {
    return std::max(low, std::min(start, high - length));
}

}  // namespace

ScreenRect PlaceBar(const ScreenRect& bar, std::span<const MonitorArea> monitors) {
    if (monitors.empty() ||
        std::any_of(monitors.begin(), monitors.end(),
                    [&](const MonitorArea& m) { return ShowsGrabbablePiece(m.bounds, bar); })) {
        return bar;
    }
    const MonitorArea& nearest = *std::min_element(
        monitors.begin(), monitors.end(), [&](const MonitorArea& a, const MonitorArea& b) {
            return SquaredDistance(a.bounds, bar) < SquaredDistance(b.bounds, bar);
        });
    const int32_t width = bar.right - bar.left;
    const int32_t height = bar.bottom - bar.top;
    const ScreenRect& area = nearest.workArea;
    const int32_t left = MoveInto(bar.left, width, area.left, area.right);
    const int32_t top = MoveInto(bar.top, height, area.top, area.bottom);
    return {left, top, left + width, top + height};
}

}  // namespace oruvel
