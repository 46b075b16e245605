#include "ui/tray_icon_win.h"

#include <shellapi.h>

#include <cstring>

#include "assets/resource_ids.h"
#include "ui/bar_menu_win.h"
#include "ui/indicator_bar_win.h"
#include "ui/resources_win.h"
#include "ui/tray_retry.h"

namespace oruvel {

namespace {

constexpr UINT kTrayIconId = 100;
constexpr char kTip[] = "Oruvel";

constexpr int kIconSize = 32;

// The program's icon, made from its image: the icon file's only one, 32 x 32 at 32 bits per pixel.
HICON MakeTrayIcon() {
    const auto image = IconImageBytes(IDI_ORUVEL, kIconSize);
    if (image.empty()) {
        return nullptr;
    }
    return CreateIconFromResourceEx(const_cast<uint8_t*>(image.data()),
                                    static_cast<DWORD>(image.size()), TRUE, 0x00030000, kIconSize,
                                    kIconSize, LR_DEFAULTCOLOR);
}

}  // namespace

void TrayIcon::Install(HWND owner) {
    owner_ = owner;
    retryTimer_.Attach(owner);
    icon_.reset(MakeTrayIcon());
    Add();
}

void TrayIcon::Reinstall() {
    failedAdds_ = 0;  // a new taskbar: a new minute of retries, if it refuses too
    Add();
}

void TrayIcon::Add() {
    if (!icon_) {
        return;
    }
    const bool added = Register();
    failedAdds_ = added ? 0 : failedAdds_ + 1;
    retryTimer_.SetPeriod(TrayRetryPeriod(added, failedAdds_));
}

bool TrayIcon::Register() {
    // The first, smallest form of the record: no version is negotiated, so notifications
    // arrive in the classic form with the mouse message in lParam.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner_;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallback;
    record.hIcon = icon_.get();
    char tip[64];
    CopyTrayTip(kTip, tip);
    std::memcpy(record.szTip, tip, sizeof tip);  // the first form's tip field is 64 bytes
    // A shell that timed out may still have added the icon, and refuses a second add: then the
    // icon is there if it can be changed.
    return Shell_NotifyIconA(NIM_ADD, &record) || Shell_NotifyIconA(NIM_MODIFY, &record);
}

void TrayIcon::Remove() {
    retryTimer_.SetPeriod(0);
    if (!icon_) {
        return;
    }
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner_;
    record.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &record);
    icon_.reset();
}

void InstallTrayIcon() {
    indicatorBar.trayIcon().Install(indicatorBar.window());
}

void ToggleBar() {
    HWND bar = indicatorBar.window();
    if (IsWindowVisible(bar)) {
        ShowWindow(bar, SW_HIDE);
    } else {
        ShowWindow(bar, SW_SHOW);
        ShowWindow(bar, SW_SHOWNORMAL);
    }
}

void HandleTrayEvent(TrayEvent event) {
    switch (event) {
        case TrayEvent::LeftDoubleClick:
            ToggleBar();
            break;
        case TrayEvent::RightClick:
            ShowBarMenu();
            break;
        case TrayEvent::LeftClick:
            break;
    }
}

}  // namespace oruvel
