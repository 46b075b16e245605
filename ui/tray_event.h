// Tray icon rules: which mouse notifications of the icon reach the bar, and how the tip is
// put into the shell's fixed-size record.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace oruvel {

enum class TrayEvent { LeftClick, LeftDoubleClick, RightClick };

// The icon is registered without a version, so the callback's lParam is the mouse message itself.
// Left release -> LeftClick, left double-click -> LeftDoubleClick, right release or
// WM_CONTEXTMENU -> RightClick; presses, moves and the middle button -> nothing.
std::optional<TrayEvent> TrayEventFromNotification(uint32_t mouseMessage);

// Fills NOTIFYICONDATAA::szTip: zero-fills all 64 bytes, then copies at most the first 62 bytes
// of tip, so the tip is always terminated.
void CopyTrayTip(std::string_view tip, char (&field)[64]);

}  // namespace oruvel
