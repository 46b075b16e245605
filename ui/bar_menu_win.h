// 右键菜单: the bar's pop-up menu, with 设置 and 退出.
#pragma once

#include "ui/bar_events_win.h"

namespace oruvel {

// Pops 右键菜单 up at the mouse pointer; returns when it has closed.
void ShowBarMenu();

// An item of 右键菜单 was chosen: 设置 opens the settings through `events`, 退出 asks for the end.
void HandleMenuCommand(int command, BarEvents& events);

// The handler of 退出: asks for the bar to be destroyed once this handler has returned.
void RequestExit();

}  // namespace oruvel
