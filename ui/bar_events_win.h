// The handlers that the bar's events run, each defined with the concern it belongs to.
#pragma once

#include <windows.h>

#include "ui/tray_event.h"

namespace oruvel {

void BarCreated();     // the start-up sequence (app)
void BarDestroying();  // saves the settings (app)
void SessionEnding();  // Windows ends the logon: saves the settings (app)

void HandleTrayEvent(TrayEvent event);  // tray icon notifications (ui/tray_icon)
void ShowBarMenu();                     // 右键菜单 at the pointer (ui/bar_menu)
void HandleMenuCommand(int command);    // an item of 右键菜单 was chosen (ui/bar_menu)
void DisplaysChanged();                 // monitors or work area changed (ui/bar_placement)

void WatchdogEvent();      // 时钟1 (lamps/lamps)
void FallbackPollEvent();  // 时钟2 (lamps/lamps)

// The poll worker's request that the bar's thread sample the keys; handled by LampSampleRequested
// (lamps/lamps).
constexpr UINT kLampSampleRequest = WM_APP + 2;
void LampSampleRequested();

// Lock keys as triggers of the lamps (lamps/lock_key_input): WM_INPUT of the raw keyboard input,
// the one-shot timer that samples once more after a lock key's input, the bar's own key messages
// while it has the focus, and the end of the raw input when the bar goes.
void LockKeyInput(HRAWINPUT input);
void LockKeyResampleEvent();
void LockKeyMessage(WPARAM virtualKey);
void StopListeningForLockKeys();

}  // namespace oruvel
