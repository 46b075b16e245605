// The bar's icon in the notification area.
#pragma once

#include <windows.h>

#include "ui/handles_win.h"

namespace oruvel {

// The private message through which the icon's mouse notifications reach the bar.
constexpr UINT kTrayCallback = WM_APP + 100;

class TrayIcon {
public:
    // Makes the icon from the embedded picture and registers it for `owner`; without an icon
    // nothing is registered. The shell's answer is not needed: a taskbar that is not there yet
    // announces itself with "TaskbarCreated", and Reinstall registers the icon then.
    void Install(HWND owner);
    // Registers the same icon again, after the taskbar has been re-created.
    void Reinstall();
    // Unregisters the icon and destroys its handle.
    void Remove();

private:
    void Register();

    HWND owner_ = nullptr;
    UniqueIcon icon_;
};

// The tray's own step of the start-up sequence.
void InstallTrayIcon();

// Hides a visible bar, shows a hidden one.
void ToggleBar();

}  // namespace oruvel
