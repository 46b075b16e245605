// The settings window: opened from the bar's menu, modal, applying the lit colour and the
// always-on-top flag at once on 确定 and nothing otherwise.
#include <gtest/gtest.h>

#include <colordlg.h>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

constexpr uint32_t kGreen = 0x00FF00, kBlue = 0x0000FF;

class SettingsWindowTest : public LockKeysOff {
  protected:
    void SetUp() override {
        LockKeysOff::SetUp();
        program_ = std::make_unique<Process>(folder_.exe());
        bar_ = program_->WaitForBar();
        ASSERT_NE(bar_, nullptr) << "no bar";
    }

    HWND Menu() const { return program_->VisibleWindowWithClass(kMenuClass); }
    HWND SettingsWindow() const { return program_->VisibleWindowWithClass(kSettingsClass); }
    size_t SettingsWindowCount() const {
        size_t count = 0;
        for (HWND w : program_->Windows()) {
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            count += lstrcmpW(name, kSettingsClass) == 0;
        }
        return count;
    }

    void ChooseSettingsFromOpenMenu() { e2e::ChooseSettingsFromOpenMenu(*program_); }
    HWND OpenFromBar() { return OpenSettingsFromBar(*program_, bar_); }

    HWND Control(HWND window, const wchar_t* text) const {
        return FindWindowExW(window, nullptr, nullptr, text);
    }

    void ClickControl(HWND control) {
        const RECT r = WindowRect(control);
        Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // Picks a colour in the system's colour dialog that the swatch opens.
    void PickColour(HWND window, BYTE red, BYTE green, BYTE blue) {
        HWND swatch = nullptr;
        EnumChildWindows(
            window,
            [](HWND child, LPARAM param) -> BOOL {
                if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                    *reinterpret_cast<HWND*>(param) = child;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&swatch));
        ASSERT_NE(swatch, nullptr) << "no colour swatch";
        ClickControl(swatch);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            return (dialog = program_->VisibleWindowWithClass(L"#32770")) != nullptr;
        })) << "the colour dialog did not open";
        for (auto [id, value] :
             {std::pair{COLOR_RED, red}, {COLOR_GREEN, green}, {COLOR_BLUE, blue}}) {
            SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(std::to_wstring(value).c_str()));
        }
        ClickControl(GetDlgItem(dialog, IDOK));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "the colour dialog stayed";
    }

    void Ok(HWND window) {
        ClickControl(Control(window, L"\u786E\u5B9A"));  // 确定
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); })) << "确定 did not close it";
    }

    bool BoxChecked(HWND window) const {
        return SendMessageW(Control(window, L"\u524D\u7AEF\u663E\u793A"), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
    }

    std::string Config() const { return ReadFileBytes(folder_.config()); }
    std::string Line(const wchar_t* key, const std::string& value) const {
        return Gbk(key) + "=" + value + "\r\n";
    }

    ProgramFolder folder_;
    std::unique_ptr<Process> program_;
    HWND bar_ = nullptr;
};

}  // namespace

TEST_F(SettingsWindowTest, OpensCentredWithItsControlsAndTheValuesInEffect) {
    HWND window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    const RECT rect = WindowRect(window);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN),
              screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(rect.left, (screenWidth - 213) / 2);
    EXPECT_EQ(rect.top, (screenHeight - 158) / 2);
    EXPECT_EQ(rect.right - rect.left, 213);
    EXPECT_EQ(rect.bottom - rect.top, 158);
    wchar_t caption[32] = {};
    GetWindowTextW(window, caption, 32);
    EXPECT_STREQ(caption, L"Oruvel");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) << std::hex << style;
    EXPECT_FALSE(IsTopmost(window));
    EXPECT_NE(GetWindow(window, GW_OWNER), bar_) << "owned by the bar";
    EXPECT_FALSE(IsWindowEnabled(bar_)) << "the bar takes input while the window is open";

    // Places in the client area; the three inside the group box are offset by its corner (8, 8).
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const struct {
        const wchar_t* text;
        const wchar_t* className;
        RECT place;  // left, top, width, height
    } controls[] = {
        {L"\u524D\u7AEF\u663E\u793A", L"Button", {24, 19, 128, 24}},       // 前端显示
        {L"\u6307\u793A\u706F\u989C\u8272", L"Static", {16, 48, 72, 24}},  // 指示灯颜色
        {L"\u786E\u5B9A", L"Button", {38, 101, 60, 24}},                   // 确定
        {L"\u53D6\u6D88", L"Button", {110, 101, 60, 24}},                  // 取消
    };
    for (const auto& c : controls) {
        HWND control = Control(window, c.text);
        ASSERT_NE(control, nullptr) << "no control with its text";
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        EXPECT_STREQ(className, c.className);
        const RECT r = WindowRect(control);
        EXPECT_EQ(r.left - origin.x, c.place.left);
        EXPECT_EQ(r.top - origin.y, c.place.top);
        EXPECT_EQ(r.right - r.left, c.place.right);
        EXPECT_EQ(r.bottom - r.top, c.place.bottom);
    }
    EXPECT_TRUE(BoxChecked(window)) << "the bar is on top by default";
    // The swatch shows the lit colour in effect, green by default.
    const RECT swatchArea{origin.x + 100, origin.y + 52, origin.x + 160, origin.y + 60};
    EXPECT_TRUE(WaitFor([&] {
        return CountPixelsNear(ScreenPixels(swatchArea), swatchArea, kGreen, 10) > 100;
    })) << "the swatch does not show green";
}

TEST_F(SettingsWindowTest, OkAppliesTheColourAndTheFlagAtOnceAndTheEndSavesThem) {
    SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(WaitFor([&] { return LampShowsColour(bar_, LampColumns::Caps, kGreen); }));
    ASSERT_TRUE(IsTopmost(bar_));

    HWND window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    PickColour(window, 0, 0, 255);
    ClickControl(Control(window, L"\u524D\u7AEF\u663E\u793A"));  // unchecks 前端显示
    Ok(window);

    EXPECT_TRUE(WaitFor([&] { return LampShowsColour(bar_, LampColumns::Caps, kBlue); }))
        << "the lit lamp did not turn blue";
    EXPECT_EQ(LampPixelsNear(bar_, LampColumns::Num, kBlue), 0) << "an unlit lamp changed";
    EXPECT_FALSE(IsTopmost(bar_)) << "the bar is still in the topmost band";
    EXPECT_TRUE(IsWindowEnabled(bar_)) << "the bar was not enabled again";
    EXPECT_FALSE(FileExists(folder_.config())) << "the window wrote the settings file";

    // Opened again, it shows the values applied, though not saved yet.
    window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(BoxChecked(window));
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const RECT swatchArea{origin.x + 100, origin.y + 52, origin.x + 160, origin.y + 60};
    EXPECT_TRUE(WaitFor([&] {
        return CountPixelsNear(ScreenPixels(swatchArea), swatchArea, kBlue, 10) > 100;
    })) << "the swatch does not show the colour applied";
    ClickControl(Control(window, L"\u524D\u7AEF\u663E\u793A"));  // checks it again
    Ok(window);
    EXPECT_TRUE(WaitFor([&] { return IsTopmost(bar_); })) << "checked again, still not on top";

    PostMessageW(bar_, WM_CLOSE, 0, 0);
    ASSERT_EQ(program_->ExitCode(), 0);
    const std::string config = Config();
    EXPECT_NE(config.find(Line(L"\u6307\u793A\u706F\u989C\u8272", "16711680")), std::string::npos)
        << config;  // 指示灯颜色: blue as 0x00BBGGRR in decimal
    EXPECT_NE(config.find(Line(L"\u524D\u7AEF\u663E\u793A", Gbk(L"\u662F"))), std::string::npos)
        << config;  // 前端显示=是
}

TEST_F(SettingsWindowTest, EveryOtherWayOutChangesNothing) {
    const struct {
        const char* name;
        void (*close)(HWND window);
    } ways[] = {
        {"取消",
         [](HWND w) {
             const RECT r = WindowRect(FindWindowExW(w, nullptr, nullptr, L"\u53D6\u6D88"));
             Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
         }},
        {"close box", [](HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4",
         [](HWND) {
             PressKey(VK_MENU, true);
             TapKey(VK_F4);
             PressKey(VK_MENU, false);
         }},
        {"Esc", [](HWND) { TapKey(VK_ESCAPE); }},
    };
    SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(WaitFor([&] { return LampShowsColour(bar_, LampColumns::Caps, kGreen); }));
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        HWND window = OpenFromBar();
        ASSERT_NE(window, nullptr);
        PickColour(window, 0, 0, 255);
        ClickControl(Control(window, L"\u524D\u7AEF\u663E\u793A"));  // unchecks 前端显示
        ASSERT_TRUE(WaitFor([&] { return !BoxChecked(window); }));
        TapKey(VK_RETURN);  // does nothing: no default button
        way.close(window);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); })) << "the window stayed open";
        EXPECT_TRUE(IsTopmost(bar_)) << "the unchecked box was applied";
        EXPECT_TRUE(IsWindowEnabled(bar_));
        EXPECT_FALSE(
            WaitFor([&] { return LampPixelsNear(bar_, LampColumns::Caps, kBlue) > 0; }, 300ms))
            << "the picked colour was applied";
        EXPECT_TRUE(LampShowsColour(bar_, LampColumns::Caps, kGreen));
    }
    PostMessageW(bar_, WM_CLOSE, 0, 0);
    ASSERT_EQ(program_->ExitCode(), 0);
    EXPECT_NE(Config().find(Line(L"\u6307\u793A\u706F\u989C\u8272", "65280")),
              std::string::npos)
        << Config();  // 指示灯颜色 unchanged
}

TEST_F(SettingsWindowTest, EnterNeitherAppliesNorCloses) {
    HWND window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    ClickControl(Control(window, L"\u524D\u7AEF\u663E\u793A"));
    TapKey(VK_RETURN);
    // Keys are handled in order: once Esc has closed the window, Enter before it has been seen.
    TapKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }));
    EXPECT_TRUE(IsTopmost(bar_)) << "Enter applied the unchecked box";
}

TEST_F(SettingsWindowTest, WhileOpenTheBarIgnoresTheMouseButTheLampsAndTheTrayGoOn) {
    HWND window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    const RECT before = WindowRect(bar_);
    Click(before.left + 50, before.top + 21, true);  // right click: no menu on a disabled bar
    PressOnBar(bar_, {50, 0});                       // press on the strip: no drag
    MoveMouse(before.left + 90, before.top + 60);
    MouseButton(false, false);
    SetLock(VK_CAPITAL, true);
    EXPECT_TRUE(WaitFor([&] { return LampShowsColour(bar_, LampColumns::Caps, kGreen); }))
        << "the lamps stopped following the keys";
    EXPECT_EQ(Menu(), nullptr) << "a right click on the disabled bar opened the menu";
    EXPECT_EQ(WindowRect(bar_).left, before.left) << "the disabled bar was dragged";
    EXPECT_EQ(WindowRect(bar_).top, before.top);

    // The tray icon's double-click reaches the bar: it hides and shows it.
    PostMessageW(bar_, kTrayCallback, 100, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(bar_); })) << "not hidden";
    PostMessageW(bar_, kTrayCallback, 100, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(bar_); })) << "not shown again";

    // 设置 again from the tray's menu opens no second window.
    PostMessageW(bar_, kTrayCallback, 100, WM_RBUTTONUP);
    ChooseSettingsFromOpenMenu();
    EXPECT_TRUE(WaitFor([&] { return Menu() == nullptr; }));
    EXPECT_EQ(SettingsWindowCount(), 1u);
    EXPECT_TRUE(IsWindow(window));
    TapKey(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }));
}

TEST_F(SettingsWindowTest, OutlivesTheBarThenEndsTheProgramWithoutApplying) {
    HWND window = OpenFromBar();
    ASSERT_NE(window, nullptr);
    // 退出, the second item of the tray's menu, while the window is open.
    PostMessageW(bar_, kTrayCallback, 100, WM_RBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return Menu() != nullptr; }));
    TapKey(VK_DOWN);
    TapKey(VK_DOWN);
    TapKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(bar_); })) << "退出 did not destroy the bar";
    EXPECT_TRUE(WaitFor([&] { return FileExists(folder_.config()); })) << "not saved on 退出";
    const std::string saved = Config();
    EXPECT_TRUE(IsWindow(window)) << "the settings window went with the bar";
    EXPECT_TRUE(program_->Running());

    PickColour(window, 255, 0, 0);
    Ok(window);
    EXPECT_EQ(program_->ExitCode(), 0);
    EXPECT_EQ(Config(), saved) << "a value was applied after the bar had gone";
}
