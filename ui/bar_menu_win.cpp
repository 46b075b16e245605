#include "ui/bar_menu_win.h"

#include <windows.h>

#include "base/handles_win.h"
#include "ui/indicator_bar_win.h"

namespace oruvel {

namespace {

enum MenuCommand : int { kSettingsCommand = 1, kExitCommand = 2 };

struct MenuItem {
    const wchar_t* text;
    MenuCommand command;
    bool visible;
    bool enabled;
    bool checked;
};

// The stored items of 右键菜单, in their order.
constexpr MenuItem kBarMenu[] = {
    {L"\u8BBE\u7F6E", kSettingsCommand, true, true, false},  // 设置
    {L"\u9000\u51FA", kExitCommand, true, true, false},      // 退出
};

constexpr int kMenuOffset = 3;  // the menu opens just below and right of the pointer

}  // namespace

void ShowBarMenu() {
    UniqueMenu menu(CreatePopupMenu());
    for (const MenuItem& item : kBarMenu) {
        if (item.visible) {
            const UINT state = (item.enabled ? MF_ENABLED : MF_GRAYED) |
                               (item.checked ? MF_CHECKED : MF_UNCHECKED);
            AppendMenuW(menu.get(), MF_STRING | state, item.command, item.text);
        }
    }
    POINT at{};
    GetCursorPos(&at);
    // The chosen item comes back as WM_COMMAND to the bar once the menu has closed.
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x + kMenuOffset, at.y + kMenuOffset, 0,
                   indicatorBar.window(), nullptr);
}

void HandleMenuCommand(int command, BarEvents& events) {
    switch (command) {
        case kSettingsCommand:
            events.OpenSettings();
            break;
        case kExitCommand:
            RequestExit();
            break;
    }
}

void RequestExit() {
    PostMessageW(indicatorBar.window(), WM_CLOSE, 0, 0);
}

}  // namespace oruvel
