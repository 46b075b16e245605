#include "ui/tray_event.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace oruvel {

namespace {

constexpr uint32_t kWmContextMenu = 0x007B;    // WM_CONTEXTMENU
constexpr uint32_t kWmLButtonUp = 0x0202;      // WM_LBUTTONUP
constexpr uint32_t kWmLButtonDblClk = 0x0203;  // WM_LBUTTONDBLCLK
constexpr uint32_t kWmRButtonUp = 0x0205;      // WM_RBUTTONUP

constexpr std::size_t kTipBytesCopied = 62;  // of the 64-byte szTip

}  // namespace

std::optional<TrayEvent> TrayEventFromNotification(uint32_t mouseMessage) {
    switch (mouseMessage) {
        case kWmLButtonUp:
            return TrayEvent::LeftClick;
        case kWmLButtonDblClk:
            return TrayEvent::LeftDoubleClick;
        case kWmRButtonUp:
        case kWmContextMenu:
            return TrayEvent::RightClick;
        default:
            return std::nullopt;
    }
}

void CopyTrayTip(std::string_view tip, char (&field)[64]) {
    std::memset(field, 0, sizeof field);
    std::copy_n(tip.data(), std::min(tip.size(), kTipBytesCopied), field);
}

}  // namespace oruvel
