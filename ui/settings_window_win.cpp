#include "ui/settings_window_win.h"

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "assets/resource_ids.h"
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
    kGroupBox = 100,  // 分组框1
    kAlwaysOnTopBox,  // 选择框_前端显示
    kLitColourLabel,  // 标签_指示灯颜色
    kColourPicker,    // 颜色选择器
    kOkButton,        // 按钮_确定
    kCancelButton,    // 按钮_取消
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
    {kAlwaysOnTopBox,
     L"BUTTON",
     L"\u524D\u7AEF\u663E\u793A",  // 前端显示
     WS_TABSTOP | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER | BS_MULTILINE,
     {kInGroupX + 16, kInGroupY + 11, 128, 24}},
    {kLitColourLabel,
     L"STATIC",
     L"\u6307\u793A\u706F\u989C\u8272",  // 指示灯颜色
     SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
     {kInGroupX + 8, kInGroupY + 40, 72, 24}},
    {kColourPicker, nullptr, nullptr, 0, {kInGroupX + 88, kInGroupY + 40, 80, 24}},
    {kOkButton,
     L"BUTTON",
     L"\u786E\u5B9A",
     WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER,  // 确定
     {38, 101, 60, 24}},
    {kCancelButton,
     L"BUTTON",
     L"\u53D6\u6D88",
     WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER,  // 取消
     {110, 101, 60, 24}},
};

void RegisterClasses(WNDPROC windowProc) {
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
    windowClass.lpfnWndProc = windowProc;
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

SettingsWindow::SettingsWindow(SettingsTarget& target) : target_(target) {}

void SettingsWindow::Open() {
    if (window_) {
        if (IsIconic(window_)) {
            ShowWindow(window_, SW_RESTORE);
        } else {
            SetActiveWindow(window_);
        }
        return;
    }
    RegisterClasses(WindowProc);
    // A hidden owner of its own keeps the window off the taskbar without tying it to the bar:
    // it is not hidden, minimised or destroyed with the bar, nor kept above it.
    HWND owner = CreateWindowExW(0, kOwnerClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Oruvel",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, kWidth, kHeight, owner,
                                  nullptr, GetModuleHandleW(nullptr), this);
    if (!window) {
        DestroyWindow(owner);
        return;
    }
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(
                     LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ORUVEL))));
    ShowWindow(window, SW_SHOW);
    disabledWindows_ = DisableOtherWindows(window, owner);
    RunModalLoop(window, open_);
    DestroyWindow(owner);
}

LRESULT CALLBACK SettingsWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* settings =
            static_cast<SettingsWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(settings));
        settings->window_ = window;
        settings->open_ = true;
        TopLevelWindowCreated();
    }
    auto* settings = reinterpret_cast<SettingsWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!settings) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return settings->HandleMessage(message, wParam, lParam);
}

LRESULT SettingsWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateControls();
            SettingsCreated();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_DRAWITEM:
            colourPicker_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            // The label and the check box sit on the window's button-face background.
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case kCloseNow:  // no close query: the click has decided
        case WM_CLOSE:   // the close box, Alt+F4 and Esc, always granted
            DestroyNow();
            return 0;
        case WM_DESTROY:
            EnableDisabledWindows();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            window_ = nullptr;
            open_ = false;
            TopLevelWindowDestroyed();
            return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void SettingsWindow::OnCommand(int control) {
    switch (control) {
        case kOkButton:
            SettingsOk();
            break;
        case kCancelButton:
            SettingsCancel();
            break;
        case kColourPicker:
            colourPicker_.Choose();
            break;
        case IDCANCEL:  // Esc, through the dialog keys of the modal loop
            PostMessageW(window_, WM_CLOSE, 0, 0);
            break;
    }
}

void SettingsWindow::CreateControls() {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlDesign& c : kControls) {
        const RECT place{c.place.left, c.place.top, c.place.left + c.place.right,
                         c.place.top + c.place.bottom};
        HWND control =
            c.id == kColourPicker
                ? colourPicker_.Create(window_, c.id, place)
                : CreateWindowExW(0, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style,
                                  place.left, place.top, c.place.right, c.place.bottom, window_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr,
                                  nullptr);
        SendMessageW(control, WM_SETFONT, font, FALSE);
    }
}

// Shows the values in effect now, including changes not yet saved.
void SettingsWindow::SettingsCreated() {
    colourPicker_.SetColour(target_.LitColour());
    CheckDlgButton(window_, kAlwaysOnTopBox, target_.AlwaysOnTop() ? BST_CHECKED : BST_UNCHECKED);
}

void SettingsWindow::SettingsOk() {
    target_.Apply(colourPicker_.colour(),
                  IsDlgButtonChecked(window_, kAlwaysOnTopBox) == BST_CHECKED);
    CloseAfterClick();
}

void SettingsWindow::SettingsCancel() {
    CloseAfterClick();
}

void SettingsWindow::CloseAfterClick() {
    PostMessageW(window_, kCloseNow, 0, 0);
}

// The other windows are enabled before this one goes, so that activation can pass back to the
// bar.
void SettingsWindow::DestroyNow() {
    EnableDisabledWindows();
    DestroyWindow(window_);
}

void SettingsWindow::EnableDisabledWindows() {
    for (HWND window : disabledWindows_) {
        if (IsWindow(window)) {
            EnableWindow(window, TRUE);
        }
    }
    disabledWindows_.clear();
}

}  // namespace oruvel
