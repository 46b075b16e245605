// 右键菜单: the bar's pop-up menu, with 设置 and 退出.
#pragma once

namespace oruvel {

// The handler of 退出: asks for the bar to be destroyed once this handler has returned.
void RequestExit();

}  // namespace oruvel
