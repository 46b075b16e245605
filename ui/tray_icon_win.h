// The bar's icon in the notification area.
#pragma once

#include <windows.h>

#include "base/handles_win.h"
#include "ui/tray_event.h"
#include "ui/window_timer_win.h"

namespace oruvel {

// The private message through which the icon's mouse notifications reach the bar.
constexpr UINT kTrayCallback = WM_APP + 100;

class TrayIcon {
  public:
    // Makes the icon from the embedded picture and registers it for `owner`; without an icon
    // nothing is registered. A shell that refuses it (not up yet at logon, or too busy to answer)
    // is asked again on the retry timer, every 2 s for a minute (TrayRetryPeriod); a taskbar that
    // comes later announces itself with "TaskbarCreated", and Reinstall registers the icon then.
    void Install(HWND owner);
    // Registers the same icon again, after the taskbar has been re-created.
    void Reinstall();
    // The retry timer's event: registers the icon once more.
    void Retry() { Add(); }
    // Unregisters the icon and destroys its handle.
    void Remove();

    const WindowTimer& retryTimer() const { return retryTimer_; }

  private:
    void Add();
    bool Register();

    HWND owner_ = nullptr;
    UniqueIcon icon_;
    WindowTimer retryTimer_{4};
    int failedAdds_ = 0;  // in a row
};

// The tray's own step of the start-up sequence.
void InstallTrayIcon();

// Hides a visible bar, shows a hidden one.
void ToggleBar();

// A mouse action on the icon: a double-click toggles the bar, a right click opens 右键菜单.
void HandleTrayEvent(TrayEvent event);

}  // namespace oruvel
