#include "ui/tray_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace oruvel {
namespace {

TEST(TrayEventFromNotification, MapsTheIconsMouseMessages) {
    const struct {
        const char* name;
        uint32_t message;
        std::optional<TrayEvent> expected;
    } cases[] = {
        {"WM_LBUTTONUP", 0x0202, TrayEvent::LeftClick},
        {"WM_LBUTTONDBLCLK", 0x0203, TrayEvent::LeftDoubleClick},
        {"WM_RBUTTONUP", 0x0205, TrayEvent::RightClick},
        {"WM_CONTEXTMENU", 0x007B, TrayEvent::RightClick},
        {"WM_MOUSEMOVE", 0x0200, std::nullopt},
        {"WM_LBUTTONDOWN", 0x0201, std::nullopt},
        {"WM_RBUTTONDOWN", 0x0204, std::nullopt},
        {"WM_RBUTTONDBLCLK", 0x0206, std::nullopt},
        {"WM_MBUTTONDOWN", 0x0207, std::nullopt},
        {"WM_MBUTTONUP", 0x0208, std::nullopt},
        {"WM_MBUTTONDBLCLK", 0x0209, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrayEventFromNotification(c.message), c.expected) << c.name;
    }
}

TEST(CopyTrayTip, ZeroFillsAndKeepsAtMost62Bytes) {
    const std::string seventy =
        "abcdefghij0123456789ABCDEFGHIJ9876543210klmnopqrst!@#$%^&*()KLMNOPQRST";
    const struct {
        const char* name;
        std::string tip;
        std::string field;  // all 64 bytes
    } cases[] = {
        {"product name", "Oruvel", std::string("Oruvel") + std::string(58, '\0')},
        {"70 bytes", seventy, seventy.substr(0, 62) + std::string(2, '\0')},
    };
    for (const auto& c : cases) {
        char field[64];
        std::fill(std::begin(field), std::end(field), 'x');  // stale bytes must not survive
        CopyTrayTip(c.tip, field);
        EXPECT_EQ(std::string(field, sizeof field), c.field) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
