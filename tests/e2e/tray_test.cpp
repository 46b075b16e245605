// The tray icon and the pop-up menu 右键菜单, on the real program: X-level clicks on Wine's tray
// window, right-button releases on the bar, and what the program shows, writes and ends with.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "base/handles_win.h"

using namespace e2e;
using oruvel::ScopedSelect, oruvel::UniqueBitmap, oruvel::UniqueBrush, oruvel::UniqueFont,
    oruvel::UniqueMemoryDc;

namespace {

// ---- Linux commands and X-level input ----

// Clicks with the X server's own pointer (button 1 left, 3 right), `count` times in a row, as a
// user's hand does: Wine's tray window belongs to another process and reads X events itself.
void XClick(POINT at, int button, int count = 1) {
    const std::string command = "/usr/bin/xdotool mousemove " + std::to_string(at.x) + " " +
                                std::to_string(at.y) + " click --repeat " + std::to_string(count) +
                                " --delay 100 " + std::to_string(button);
    EXPECT_EQ(RunUnix(command), 0) << command;
}

// ---- Wine's stand-alone tray ----

// With no desktop tray, Wine shows the icons in a window of its own (explorer.exe), one child
// window per icon.
std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = tray ? GetWindow(tray, GW_CHILD) : nullptr; child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpW(name, L"__winex11_tray_icon") == 0) {
            icons.push_back(child);
        }
    }
    return icons;
}

// The icon that appears beside those in `before`; null if none does within the timeout.
HWND WaitForNewTrayIcon(const std::vector<HWND>& before) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND icon : TrayIcons()) {
            if (std::find(before.begin(), before.end(), icon) == before.end() &&
                IsWindowVisible(icon)) {
                found = icon;
                return true;
            }
        }
        return false;
    });
    return found;
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// ---- The pop-up menu, read from the screen ----

// A text as the system's menu draws it: the menu font, the menu colours, cut to its ink.
struct Ink {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0x00RRGGBB, row by row, like Pixels
};

uint32_t Rgb(COLORREF c) {
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

Ink MenuTextInk(const std::wstring& text) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    UniqueFont font(CreateFontIndirectW(&metrics.lfMenuFont));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    ScopedSelect selectedFont(dc.get(), font.get());
    SIZE extent{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = extent.cx;
    info.bmiHeader.biHeight = -extent.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedSelect selectedBitmap(dc.get(), bitmap.get());
    const RECT all{0, 0, extent.cx, extent.cy};
    FillRect(dc.get(), &all, UniqueBrush(CreateSolidBrush(GetSysColor(COLOR_MENU))).get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), GetSysColor(COLOR_MENUTEXT));
    TextOutW(dc.get(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();

    const uint32_t paper = Rgb(GetSysColor(COLOR_MENU));
    const auto* pixels = static_cast<const uint32_t*>(bits);
    RECT box{extent.cx, extent.cy, 0, 0};
    for (int y = 0; y < extent.cy; ++y) {
        for (int x = 0; x < extent.cx; ++x) {
            if ((pixels[y * extent.cx + x] & 0xFFFFFF) != paper) {
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
            }
        }
    }
    Ink ink;
    if (box.left < box.right) {
        ink.width = box.right - box.left;
        ink.height = box.bottom - box.top;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                ink.rgb.push_back(pixels[y * extent.cx + x] & 0xFFFFFF);
            }
        }
    }
    return ink;
}

// Where `ink` is seen in `screen`: the screen rectangle it covers.
std::optional<RECT> FindInk(const Pixels& screen, const Ink& ink) {
    constexpr int kTolerance = 30;
    const RECT& a = screen.area;
    for (int y = a.top; y + ink.height <= a.bottom; ++y) {
        for (int x = a.left; x + ink.width <= a.right; ++x) {
            bool same = true;
            for (int j = 0; same && j < ink.height; ++j) {
                for (int i = 0; same && i < ink.width; ++i) {
                    same = ColourDistance(screen.at(x + i, y + j), ink.rgb[j * ink.width + i]) <=
                           kTolerance;
                }
            }
            if (same) {
                return RECT{x, y, x + ink.width, y + ink.height};
            }
        }
    }
    return std::nullopt;
}

// 右键菜单 as the screen shows it: where its window is and where each item's text was found.
struct MenuSeen {
    HWND window = nullptr;
    RECT rect{};
    std::optional<RECT> settings, exit;  // 设置, 退出
    int strayInk = 0;                    // pixels of the inside that belong to neither text
};

const Ink& SettingsInk() {
    static const Ink ink = MenuTextInk(L"设置");
    return ink;
}
const Ink& ExitInk() {
    static const Ink ink = MenuTextInk(L"退出");
    return ink;
}

// Two Chinese words drawn alike are two rows of the same missing-glyph boxes.
bool MenuFontHasChineseGlyphs() {
    return SettingsInk().width != ExitInk().width || SettingsInk().rgb != ExitInk().rgb;
}

MenuSeen ReadMenu(HWND menu) {
    MenuSeen seen;
    seen.window = menu;
    seen.rect = WindowRect(menu);
    const Pixels pixels = ScreenPixels(seen.rect);
    seen.settings = FindInk(pixels, SettingsInk());
    seen.exit = FindInk(pixels, ExitInk());
    // Inside the frame everything else is the menu's paper: no further item, separator or mark.
    const uint32_t paper = Rgb(GetSysColor(COLOR_MENU));
    const RECT inside{seen.rect.left + 3, seen.rect.top + 3, seen.rect.right - 3,
                      seen.rect.bottom - 3};
    for (int y = inside.top; y < inside.bottom; ++y) {
        for (int x = inside.left; x < inside.right; ++x) {
            const POINT p{x, y};
            const bool inText = (seen.settings && PtInRect(&*seen.settings, p)) ||
                                (seen.exit && PtInRect(&*seen.exit, p));
            seen.strayInk += !inText && ColourDistance(pixels.at(x, y), paper) > 30;
        }
    }
    return seen;
}

std::string Describe(const std::optional<RECT>& r) {
    if (!r) {
        return "not found";
    }
    return "at " + std::to_string(r->left) + "," + std::to_string(r->top);
}

// A config.ini that places the bar and leaves the other keys to their defaults.
std::string PlaceConfig(int left, int top) {
    std::ostringstream text;
    text << "[" << Gbk(L"程序配置") << "]\r\n"
         << Gbk(L"左边") << "=" << left << "\r\n"
         << Gbk(L"顶边") << "=" << top << "\r\n";
    return text.str();
}

// Far from the bar, the tray and every menu: a click here hits no window of the program.
constexpr POINT kElsewhere{700, 600};

bool LampLit(HWND bar, LampColumns lamp) {
    return LookOfLamp(bar, lamp) == LampLook::Lit;
}
bool LampUnlit(HWND bar, LampColumns lamp) {
    return LookOfLamp(bar, lamp) == LampLook::Unlit;
}

// The menu texts can be read only where the menu font has Chinese glyphs.
void RequireChineseMenuFont() {
    ASSERT_TRUE(MenuFontHasChineseGlyphs())
        << "this Wine prefix draws the menu font without Chinese glyphs: Wine rewrites the "
           "\"Tahoma\" font link whenever the code page changes, so import "
           "tests/e2e/wine-prefix.reg again after switching the locale";
}

// ---- The fixture ----

class TrayTest : public LockKeysOff {
  protected:
    // Starts the program in a fresh folder (with `config` as its config.ini when given) and
    // waits for its bar and its tray icon.
    void Start(const std::string& config = "") {
        program_.reset();
        folder_ = std::make_unique<ProgramFolder>();
        if (!config.empty()) {
            ASSERT_TRUE(WriteFileBytes(folder_->config(), config));
        }
        const std::vector<HWND> before = TrayIcons();
        program_ = std::make_unique<Process>(folder_->exe());
        bar_ = program_->WaitForBar();
        ASSERT_NE(bar_, nullptr) << "no visible bar window";
        icon_ = WaitForNewTrayIcon(before);
        ASSERT_NE(icon_, nullptr) << "no new icon in Wine's tray window";
    }

    bool BarShown() const { return IsWindow(bar_) && IsWindowVisible(bar_); }

    // The program's menu window, once it is on screen; null if none shows up.
    HWND WaitForMenuWindow() const {
        HWND menu = nullptr;
        WaitFor([&] { return (menu = program_->VisibleWindowWithClass(L"#32768")) != nullptr; });
        EXPECT_NE(menu, nullptr) << "no menu window of the program";
        return menu;
    }

    // What the menu shows once both texts are drawn; its window is null if no menu shows up.
    MenuSeen WaitForMenu() const {
        MenuSeen seen;
        HWND menu = WaitForMenuWindow();
        if (!menu) {
            return seen;
        }
        const bool drawn = WaitFor([&] {
            seen = ReadMenu(menu);
            return seen.settings && seen.exit;
        });
        EXPECT_TRUE(drawn) << "the menu does not show 设置 and 退出: 设置 "
                           << Describe(seen.settings) << ", 退出 " << Describe(seen.exit);
        return seen;
    }

    // Right-clicks the tray icon and waits for the menu's window. The icon's notifications reach
    // the bar in order, so an open menu also tells that every earlier click on the icon has been
    // handled.
    HWND OpenMenuWindowFromIcon() const {
        XClick(Centre(WindowRect(icon_)), 3);
        return WaitForMenuWindow();
    }

    // The menu opened from the icon, as it shows itself. The pointer then leaves the icon, whose
    // tip would otherwise soon cover the menu.
    MenuSeen OpenMenuFromIcon(POINT* pointer = nullptr) const {
        if (pointer) {
            *pointer = Centre(WindowRect(icon_));
        }
        if (!OpenMenuWindowFromIcon()) {
            return {};
        }
        MoveMouse(kElsewhere.x, kElsewhere.y);
        return WaitForMenu();
    }

    // A right-button press at one point of the bar and its release at another: the menu opens
    // on the release, at the pointer of that moment.
    MenuSeen OpenMenuFromBar(POINT press, POINT release) const {
        const RECT bar = WindowRect(bar_);
        MoveMouse(bar.left + press.x, bar.top + press.y);
        MouseButton(true, true);
        MoveMouse(bar.left + release.x, bar.top + release.y);
        MouseButton(true, false);
        return WaitForMenu();
    }

    static bool MenuGone(HWND menu) { return !IsWindow(menu) || !IsWindowVisible(menu); }

    // Dismissals. A menu opened from the icon belongs to a program that is not in the
    // foreground (Wine's tray window is), so only the X server's pointer grab sees a click
    // elsewhere, and keys go to the tray window; a menu opened from the bar also takes Esc.
    enum class Dismissal { Escape, ClickElsewhere, XClickElsewhere };
    static void Dismiss(HWND menu, Dismissal how) {
        switch (how) {
            case Dismissal::Escape:
                TapKey(VK_ESCAPE);
                break;
            case Dismissal::ClickElsewhere:
                Click(kElsewhere.x, kElsewhere.y);
                break;
            case Dismissal::XClickElsewhere:
                XClick(kElsewhere, 1);
                break;
        }
        EXPECT_TRUE(WaitFor([&] { return MenuGone(menu); }))
            << "dismissal " << static_cast<int>(how) << " left the menu open";
    }

    // Chooses an item by clicking on its text.
    static void Choose(const std::optional<RECT>& item) {
        ASSERT_TRUE(item.has_value());
        const POINT at = Centre(*item);
        Click(at.x, at.y);
    }

    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<Process> program_;
    HWND bar_ = nullptr;
    HWND icon_ = nullptr;
};

// 设置 above 退出, nothing else inside, the top-left corner 3 pixels right of and below `pointer`.
void ExpectMenuAt(const MenuSeen& menu, POINT pointer) {
    ASSERT_NE(menu.window, nullptr);
    ASSERT_TRUE(menu.settings && menu.exit);
    EXPECT_LT(menu.settings->bottom, menu.exit->top) << "设置 is not above 退出";
    EXPECT_EQ(menu.strayInk, 0) << "the menu shows more than its two items";
    EXPECT_EQ(menu.rect.left, pointer.x + 3) << "pointer at " << pointer.x << "," << pointer.y;
    EXPECT_EQ(menu.rect.top, pointer.y + 3) << "pointer at " << pointer.x << "," << pointer.y;
}

}  // namespace

TEST_F(TrayTest, IconShowsTheProgramsPicture) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(IsWindowVisible(GetParent(icon_))) << "Wine's tray window is hidden";
    // The picture's grey outline, drawn at the small-icon size over the tray's white.
    const RECT area = WindowRect(icon_);
    EXPECT_TRUE(WaitFor([&] {
        return CountPixelsNear(ScreenPixels(area), area, 0x908E8E, 60) > 10;
    })) << "the icon does not show the grey outline of the program's picture";
}

TEST_F(TrayTest, SingleClickDoesNothingAndDoubleClickTogglesTheBarOnce) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const POINT icon = Centre(WindowRect(icon_));

    XClick(icon, 1);
    HWND menu = OpenMenuWindowFromIcon();
    EXPECT_TRUE(BarShown()) << "a single click changed the bar";
    Dismiss(menu, Dismissal::XClickElsewhere);

    // Down, up, double-click, up: only the double-click toggles.
    XClick(icon, 1, 2);
    EXPECT_TRUE(WaitFor([&] { return !BarShown(); })) << "a double-click did not hide the bar";
    menu = OpenMenuWindowFromIcon();
    EXPECT_FALSE(BarShown()) << "the double-click toggled the bar more than once";
    Dismiss(menu, Dismissal::XClickElsewhere);

    XClick(icon, 1, 2);
    EXPECT_TRUE(WaitFor([&] { return BarShown(); })) << "a double-click did not show the bar";
    menu = OpenMenuWindowFromIcon();
    EXPECT_TRUE(BarShown()) << "the double-click toggled the bar more than once";
    Dismiss(menu, Dismissal::XClickElsewhere);
    EXPECT_TRUE(program_->Running());
}

TEST_F(TrayTest, HiddenBarKeepsItsPlaceAndCatchesUpOnKeysChangedMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(Start(PlaceConfig(300, 200)));
    const RECT place = WindowRect(bar_);
    ASSERT_EQ(place.left, 300);
    ASSERT_EQ(place.top, 200);
    ASSERT_TRUE(WaitFor([&] {
        return LampUnlit(bar_, LampColumns::Num) && LampUnlit(bar_, LampColumns::Caps) &&
               LampUnlit(bar_, LampColumns::Scroll);
    })) << "the lamps are not all silver at the start";
    const POINT icon = Centre(WindowRect(icon_));

    XClick(icon, 1, 2);
    ASSERT_TRUE(WaitFor([&] { return !BarShown(); })) << "a double-click did not hide the bar";
    SetLock(VK_CAPITAL, true);
    SetLock(VK_SCROLL, true);

    XClick(icon, 1, 2);
    ASSERT_TRUE(WaitFor([&] { return BarShown(); })) << "a double-click did not show the bar";
    const RECT again = WindowRect(bar_);
    EXPECT_TRUE(EqualRect(&again, &place))
        << "the bar came back at " << again.left << "," << again.top << " instead of 300,200";
    for (LampColumns lamp : {LampColumns::Caps, LampColumns::Scroll}) {
        EXPECT_TRUE(WaitFor([&] { return LampLit(bar_, lamp); }))
            << "lamp " << static_cast<int>(lamp)
            << " did not catch up with its key: " << LampPixelsNear(bar_, lamp, kLitGreen)
            << " green and " << LampPixelsNear(bar_, lamp, kUnlitSilver) << " silver pixels";
    }
    EXPECT_TRUE(LampUnlit(bar_, LampColumns::Num));
}

TEST_F(TrayTest, MenuOpensAtThePointerFromTheIconTheBarAndEachLamp) {
    ASSERT_NO_FATAL_FAILURE(RequireChineseMenuFont());
    ASSERT_NO_FATAL_FAILURE(Start());
    POINT pointer{};
    MenuSeen menu = OpenMenuFromIcon(&pointer);
    {
        SCOPED_TRACE("from the icon");
        ExpectMenuAt(menu, pointer);
    }
    Dismiss(menu.window, Dismissal::XClickElsewhere);

    // Bar coordinates: the release is what counts, so every press is made somewhere else.
    const struct {
        const char* place;
        POINT press, release;
        Dismissal dismissal;
    } cases[] = {
        {"top strip", {47, 11}, {50, 0}, Dismissal::Escape},
        {"right column", {8, 11}, {99, 10}, Dismissal::ClickElsewhere},
        {"bottom strip", {84, 11}, {60, 21}, Dismissal::Escape},
        {"Num", {50, 1}, {8, 11}, Dismissal::ClickElsewhere},
        {"Caps", {8, 11}, {47, 11}, Dismissal::Escape},
        {"Scroll", {47, 11}, {84, 11}, Dismissal::ClickElsewhere},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        const RECT bar = WindowRect(bar_);
        menu = OpenMenuFromBar(c.press, c.release);
        if (!menu.window) {
            continue;  // nothing to dismiss; Esc would close the bar
        }
        ExpectMenuAt(menu, {bar.left + c.release.x, bar.top + c.release.y});
        Dismiss(menu.window, c.dismissal);
    }

    // A dismissed menu leaves no command behind: any would have run before the next opening.
    menu = OpenMenuFromIcon();
    EXPECT_TRUE(program_->Running());
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(FileExists(folder_->config())) << "a dismissed menu ended the program";
    Dismiss(menu.window, Dismissal::XClickElsewhere);
}

TEST_F(TrayTest, ExitWritesTheSettingsEndsWithZeroAndTakesTheIconAway) {
    ASSERT_NO_FATAL_FAILURE(RequireChineseMenuFont());
    const struct {
        const char* name;
        bool hidden;
    } cases[] = {{"bar shown, menu of the bar", false}, {"bar hidden, menu of the icon", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A file with the place alone: after the end it also holds the keys the program wrote.
        ASSERT_NO_FATAL_FAILURE(Start(PlaceConfig(300, 200)));
        MenuSeen menu;
        if (c.hidden) {
            XClick(Centre(WindowRect(icon_)), 1, 2);
            ASSERT_TRUE(WaitFor([&] { return !BarShown(); }));
            menu = OpenMenuFromIcon();
            EXPECT_FALSE(BarShown()) << "the menu of the icon showed the hidden bar";
        } else {
            menu = OpenMenuFromBar({8, 11}, {47, 11});
        }
        const RECT place = WindowRect(bar_);
        HWND icon = icon_;
        Choose(menu.exit);

        bool savedBeforeIconWent = false;
        EXPECT_TRUE(WaitFor([&] {
            savedBeforeIconWent = FileExists(folder_->config());
            return !IsWindow(icon);
        })) << "the icon is still in Wine's tray";
        // Without a window manager Wine waits up to 2 s for X to withdraw a window it hides.
        EXPECT_EQ(program_->ExitCode(10000ms), 0);
        EXPECT_TRUE(savedBeforeIconWent) << "the icon went before config.ini was written";

        const std::string bytes = ReadFileBytes(folder_->config());
        EXPECT_NE(bytes.find(Gbk(L"[程序配置]")), std::string::npos) << bytes;
        for (const wchar_t* key : {L"前端显示", L"指示灯颜色"}) {
            EXPECT_NE(bytes.find(Gbk(key) + "="), std::string::npos) << "key missing: " << bytes;
        }
        EXPECT_NE(bytes.find(Gbk(L"左边") + "=" + std::to_string(place.left) + "\r\n"),
                  std::string::npos)
            << "bar left " << place.left << ": " << bytes;
        EXPECT_NE(bytes.find(Gbk(L"顶边") + "=" + std::to_string(place.top) + "\r\n"),
                  std::string::npos)
            << "bar top " << place.top << ": " << bytes;

        if (c.hidden) {
            // The hidden state is not saved: the next start shows the bar.
            program_ = std::make_unique<Process>(folder_->exe());
            HWND bar = program_->WaitForBar();
            EXPECT_NE(bar, nullptr) << "a start after an end while hidden shows no bar";
            PostMessageW(bar, WM_CLOSE, 0, 0);
            EXPECT_EQ(program_->ExitCode(), 0);
        }
    }
}

TEST_F(TrayTest, SettingsFromTheIconsMenuOpensTheWindowAndTheIconStillToggles) {
    ASSERT_NO_FATAL_FAILURE(RequireChineseMenuFont());
    ASSERT_NO_FATAL_FAILURE(Start());
    const MenuSeen menu = OpenMenuFromIcon();
    Choose(menu.settings);
    HWND settings = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        return (settings = program_->VisibleWindowWithClass(L"OruvelSettingsWindow")) != nullptr;
    })) << "设置 opened no settings window";

    // The modal window's loop still hands the icon's notifications to the bar.
    const POINT icon = Centre(WindowRect(icon_));
    XClick(icon, 1, 2);
    EXPECT_TRUE(WaitFor([&] { return !BarShown(); })) << "not hidden while the window is open";
    XClick(icon, 1, 2);
    EXPECT_TRUE(WaitFor([&] { return BarShown(); })) << "not shown while the window is open";

    PostMessageW(settings, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(settings); }));
    EXPECT_TRUE(program_->Running());
}

TEST_F(TrayTest, TaskbarCreatedRegistersTheIconAgain) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // Take the icon away as a re-created taskbar would have lost it. The shell finds it by the
    // bar's window and the identifier 100.
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = bar_;
    record.uID = 100;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &record)) << "no icon 100 registered for the bar";
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(icon_); }));

    const std::vector<HWND> before = TrayIcons();
    PostMessageW(bar_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    icon_ = WaitForNewTrayIcon(before);
    ASSERT_NE(icon_, nullptr) << "the icon was not registered again";

    XClick(Centre(WindowRect(icon_)), 1, 2);
    EXPECT_TRUE(WaitFor([&] { return !BarShown(); })) << "the new icon does not reach the bar";
    XClick(Centre(WindowRect(icon_)), 1, 2);
    EXPECT_TRUE(WaitFor([&] { return BarShown(); }));
}
