// The floor programs of the lamp benchmark, built and started the same way as oruvel.exe.
//  - With no argument, the reference for the idle figures: a window of the bar's size and a
//    message loop, nothing else.
//  - With the argument "lamp", the reference for the latency figures: the same window showing
//    the Caps lamp where the bar shows it, in the bar's font and colours, refreshed on its own
//    thread by the bar's triggers: Caps Lock's raw keyboard input (at once and 15 ms later), its
//    key messages while the window has the focus, and a 50 ms timer. Nothing else: no tray icon,
//    no settings, no worker.
#include <windows.h>

namespace {

constexpr UINT_PTR kPollTimer = 1, kResampleTimer = 2;
constexpr COLORREF kLit = 0x00FF00, kUnlit = 0xC0C0C0, kBackground = 0xF5EEE6;
constexpr RECT kCapsPlace = {25, 2, 25 + 44, 2 + 18};

bool lampMode = false;
SHORT shownCaps = 0;
HFONT lampFont = nullptr;

void Refresh(HWND window) {
    const SHORT caps = GetKeyState(VK_CAPITAL);
    if (caps != shownCaps) {
        shownCaps = caps;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(kBackground);
    FillRect(dc, &client, background);
    DeleteObject(background);
    HGDIOBJ oldFont = SelectObject(dc, lampFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, shownCaps ? kLit : kUnlit);
    RECT place = kCapsPlace;
    DrawTextW(dc, L"Caps", -1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

void RawInput(HWND window, LPARAM lParam) {
    RAWINPUT raw;
    UINT size = sizeof raw;
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &raw, &size,
                        sizeof raw.header) != static_cast<UINT>(-1) &&
        raw.header.dwType == RIM_TYPEKEYBOARD && raw.data.keyboard.VKey == VK_CAPITAL) {
        Refresh(window);
        SetTimer(window, kResampleTimer, 15, nullptr);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            if (lampMode) {
                Paint(window);
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kResampleTimer) {
                KillTimer(window, kResampleTimer);
            }
            Refresh(window);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (wParam == VK_CAPITAL) {
                Refresh(window);
            }
            break;
        case WM_INPUT:
            RawInput(window, lParam);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    lampMode = lstrcmpW(commandLine, L"lamp") == 0;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"OruvelBenchMinimal";
    RegisterClassExW(&windowClass);
    // Placed away from the bar, so neither covers the other.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"minimal",
                                  WS_POPUP | WS_VISIBLE, 0, 100, 100, 22, nullptr, nullptr,
                                  instance, nullptr);
    if (lampMode) {
        LOGFONTW font{};
        font.lfHeight = -9;
        font.lfWeight = FW_BOLD;
        font.lfQuality = DRAFT_QUALITY;
        font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
        lampFont = CreateFontIndirectW(&font);
        shownCaps = GetKeyState(VK_CAPITAL);
        const RAWINPUTDEVICE keyboard{1, 6, RIDEV_INPUTSINK, window};
        RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
        SetTimer(window, kPollTimer, 50, nullptr);
        InvalidateRect(window, nullptr, TRUE);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
