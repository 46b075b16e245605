// Brings the bar back when no monitor shows enough of it: after its place is loaded at start,
// and whenever the monitors or the work area change.
#include <windows.h>

#include <vector>

#include "ui/bar_placement.h"
#include "ui/bar_placement_win.h"
#include "ui/indicator_bar_win.h"

namespace oruvel {

namespace {

ScreenRect FromRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, RECT*, LPARAM list) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        auto& monitors = *reinterpret_cast<std::vector<MonitorArea>*>(list);
        const MonitorArea area{FromRect(info.rcMonitor), FromRect(info.rcWork)};
        // The primary first: of equally near monitors the bar goes to the first.
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
            monitors.insert(monitors.begin(), area);
        } else {
            monitors.push_back(area);
        }
    }
    return TRUE;
}

}  // namespace

void KeepBarOnScreen() {
    HWND bar = indicatorBar.window();
    RECT place{};
    if (!GetWindowRect(bar, &place)) {
        return;
    }
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    const ScreenRect kept = PlaceBar(FromRect(place), monitors);
    if (kept.left != place.left || kept.top != place.top) {
        SetWindowPos(bar, nullptr, kept.left, kept.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void DisplaysChanged() {
    KeepBarOnScreen();
}

}  // namespace oruvel
