// The handlers that the bar's events run, each defined with the concern it belongs to.
#pragma once

#include "ui/tray_event.h"

namespace oruvel {

void BarCreated();     // the start-up sequence (app)
void BarDestroying();  // saves the settings (app)
void SessionEnding();  // Windows ends the logon: saves the settings (app)

void HandleTrayEvent(TrayEvent event);  // tray icon notifications (ui/tray_icon)
void ShowBarMenu();                     // 右键菜单 at the pointer (ui/bar_menu)
void HandleMenuCommand(int command);    // an item of 右键菜单 was chosen (ui/bar_menu)
void DisplaysChanged();                 // monitors or work area changed (ui/bar_placement)

void WatchdogEvent();      // 时钟1 (lamps/poll_worker)
void FallbackPollEvent();  // 时钟2 (lamps/poll_worker)

}  // namespace oruvel
