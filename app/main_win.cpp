// The program's entry, its start-up sequence and its end.
#include <windows.h>

#include <commctrl.h>

#include "app/instance_guard_win.h"
#include "lamps/lamps_win.h"
#include "settings/settings_file_win.h"
#include "ui/bar_events_win.h"
#include "ui/bar_placement_win.h"
#include "ui/indicator_bar_win.h"
#include "ui/toolkit_win.h"
#include "ui/tray_icon_win.h"

namespace oruvel {

namespace {

void LoadBarSettings() {
    SettingsFile file(SettingsFilePath());
    LoadSettings(file, indicatorBar, GetSystemMetrics(SM_CXSCREEN), litColour);
    // A place on a monitor that is gone, or edited to one that never was, is brought back.
    KeepBarOnScreen();
}

void SaveBarSettings() {
    SettingsFile file(SettingsFilePath());
    SaveSettings(file, indicatorBar, litColour);
}

}  // namespace

// The bar's creation handler: runs before the bar is first shown, in this fixed order.
void BarCreated() {
    InstanceGuard();
    LoadBarSettings();
    InstallTrayIcon();
    RefreshBarLamps();
    StartPollWorker();
    ArmWatchdog();
    indicatorBar.ApplyBarPicture();
}

void BarDestroying() { SaveBarSettings(); }

// Windows is ending the logon and will end the program without destroying the bar: save now,
// or every move and colour change of this run would be lost.
void SessionEnding() { SaveBarSettings(); }

}  // namespace oruvel

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace oruvel;
    // The settings window's controls come from the common controls, version 6.
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!indicatorBar.Create(instance)) {
        return 0;
    }
    // Its design makes the bar visible; SW_SHOW also activates it.
    ShowWindow(indicatorBar.window(), SW_SHOW);
    return RunMainLoop();
}
