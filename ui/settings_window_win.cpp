#include "ui/settings_window_win.h"

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "assets/resource_ids.h"
#include "lamps/lamps_win.h"
#include "ui/colour_picker_win.h"
#include "ui/indicator_bar_win.h"
#include "ui/system_dll_win.h"
#include "ui/toolkit_win.h"

namespace oruvel {

namespace {

constexpr wchar_t kClassName[] = L"OruvelSettingsWindow";
constexpr wchar_t kOwnerClassName[] = L"OruvelSettingsOwner";
constexpr int kWidth = 213, kHeight = 158;  // outer size, frame and caption included

// Control ids; IDOK and IDCANCEL are avoided, so the dialog keys reach only our own handlers:
// Enter (IDOK) does nothing and Esc (IDCANCEL) closes the window.
enum ControlId : int {
    kGroupBox = 100,     // 分组框1
    kAlwaysOnTopBox,     // 选择框_前端显示
    kLitColourLabel,     // 标签_指示灯颜色
    kColourPicker,       // 颜色选择器
    kOkButton,           // 按钮_确定
    kCancelButton,       // 按钮_取消
};

// Closing after a click happens once the click handler has returned.
constexpr UINT kCloseNow = WM_APP + 1;

struct ControlDesign {
    ControlId id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    RECT place;  // left, top, width, height in the window's client area
};

// The three controls inside the group box are placed relative to it; the group box's client
// area starts at its own corner, (8, 8) in the window.
constexpr int kInGroupX = 8, kInGroupY = 8;
constexpr ControlDesign kControls[] = {
    {kGroupBox, L"BUTTON", L"", BS_GROUPBOX, {8, 8, 192, 88}},
    {kAlwaysOnTopBox, L"BUTTON", L"\u524D\u7AEF\u663E\u793A",  // 前端显示
     WS_TABSTOP | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER | BS_MULTILINE,
     {kInGroupX + 16, kInGroupY + 11, 128, 24}},
    {kLitColourLabel, L"STATIC", L"\u6307\u793A\u706F\u989C\u8272",  // 指示灯颜色
     SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, {kInGroupX + 8, kInGroupY + 40, 72, 24}},
    {kColourPicker, nullptr, nullptr, 0, {kInGroupX + 88, kInGroupY + 40, 80, 24}},
    {kOkButton, L"BUTTON", L"\u786E\u5B9A", WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER,  // 确定
     {38, 101, 60, 24}},
    {kCancelButton, L"BUTTON", L"\u53D6\u6D88", WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER,  // 取消
     {110, 101, 60, 24}},
};

HWND settingsWindow = nullptr;
ColourPicker colourPicker;
// The windows that opening disabled, enabled again as the settings window goes.
std::vector<HWND> disabledWindows;

void EnableDisabledWindows() {
    for (HWND window : disabledWindows) {
        if (IsWindow(window)) {
            EnableWindow(window, TRUE);
        }
    }
    disabledWindows.clear();
}

// Before the window goes, so that activation can pass back to the bar.
void DestroySettingsWindow() {
    EnableDisabledWindows();
    DestroyWindow(settingsWindow);
}

void CloseSettingsWindow() { PostMessageW(settingsWindow, kCloseNow, 0, 0); }

void CreateControls(HWND window) {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlDesign& c : kControls) {
        const RECT place{c.place.left, c.place.top, c.place.left + c.place.right,
                         c.place.top + c.place.bottom};
        HWND control =
            c.id == kColourPicker
                ? colourPicker.Create(window, c.id, place)
                : CreateWindowExW(0, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style,
                                  place.left, place.top, c.place.right, c.place.bottom, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr,
                                  nullptr);
        SendMessageW(control, WM_SETFONT, font, FALSE);
    }
}

// Shows the values in effect now, including changes not yet saved.
void SettingsCreated() {
    colourPicker.SetColour(litColour.load());
    CheckDlgButton(settingsWindow, kAlwaysOnTopBox,
                   indicatorBar.AlwaysOnTop() ? BST_CHECKED : BST_UNCHECKED);
}

void SettingsOk() {
    // A bar destroyed meanwhile (退出 from the tray) has nothing left to apply the values to.
    if (indicatorBar.window()) {
        litColour = colourPicker.colour();
        indicatorBar.SetAlwaysOnTop(IsDlgButtonChecked(settingsWindow, kAlwaysOnTopBox) ==
                                    BST_CHECKED);
        RecolourAllLamps(indicatorBar);
    }
    CloseSettingsWindow();
}

void SettingsCancel() { CloseSettingsWindow(); }

LRESULT CALLBACK SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            settingsWindow = window;
            TopLevelWindowCreated();
            break;
        case WM_CREATE:
            CreateControls(window);
            SettingsCreated();
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kOkButton:
                    SettingsOk();
                    break;
                case kCancelButton:
                    SettingsCancel();
                    break;
                case kColourPicker:
                    colourPicker.Choose();
                    break;
                case IDCANCEL:  // Esc, through the dialog keys of the modal loop
                    PostMessageW(window, WM_CLOSE, 0, 0);
                    break;
            }
            return 0;
        case WM_DRAWITEM:
            colourPicker.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            // The label and the check box sit on the window's button-face background.
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case kCloseNow:  // no close query: the click has decided
        case WM_CLOSE:   // the close box, Alt+F4 and Esc, always granted
            DestroySettingsWindow();
            return 0;
        case WM_DESTROY:
            EnableDisabledWindows();
            return 0;
        case WM_NCDESTROY:
            settingsWindow = nullptr;
            TopLevelWindowDestroyed();
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    // The window's controls come from the common controls, version 6 (the manifest's), loaded
    // now rather than with the bar.
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    if (const auto init = SystemDllFunction<decltype(InitCommonControlsEx)>(
            L"comctl32.dll", "InitCommonControlsEx")) {
        init(&controls);
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = SettingsWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(IDI_ORUVEL));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    WNDCLASSEXW ownerClass{};
    ownerClass.cbSize = sizeof ownerClass;
    ownerClass.lpfnWndProc = DefWindowProcW;
    ownerClass.hInstance = windowClass.hInstance;
    ownerClass.lpszClassName = kOwnerClassName;
    RegisterClassExW(&ownerClass);
}

// Disables the program's other top-level windows (the bar) and remembers which were enabled.
std::vector<HWND> DisableOtherWindows(HWND keep, HWND owner) {
    std::vector<HWND> disabled;
    struct Search {
        HWND keep, owner;
        std::vector<HWND>* disabled;
    } search{keep, owner, &disabled};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (window != s->keep && window != s->owner && !GetParent(window) &&
                !EnableWindow(window, FALSE)) {
                s->disabled->push_back(window);  // it was enabled before
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return disabled;
}

}  // namespace

void OpenSettingsWindow() {
    if (settingsWindow) {
        if (IsIconic(settingsWindow)) {
            ShowWindow(settingsWindow, SW_RESTORE);
        } else {
            SetActiveWindow(settingsWindow);
        }
        return;
    }
    RegisterClasses();
    // A hidden owner of its own keeps the window off the taskbar without tying it to the bar:
    // it is not hidden, minimised or destroyed with the bar, nor kept above it.
    HWND owner = CreateWindowExW(0, kOwnerClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName,
                                  L"Oruvel", WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, kWidth,
                                  kHeight, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        DestroyWindow(owner);
        return;
    }
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconW(GetModuleHandleW(nullptr),
                                                    MAKEINTRESOURCEW(IDI_ORUVEL))));
    ShowWindow(window, SW_SHOW);
    disabledWindows = DisableOtherWindows(window, owner);
    RunModalLoop(window);
    DestroyWindow(owner);
}

}  // namespace oruvel
