// The floor the benchmarks compare oruvel.exe with: the least program that does the same job,
// built the ordinary way (static mingw-w64, its C runtime's start-up, no manifest) and started
// the same way. A 100 x 22 window with three text lamps "Num", "Caps" and "Scroll" in the bar's
// places, lit green while their lock is on and silver while it is off; a tray icon; the three
// keys polled every 50 ms. No settings, no picture.
// The poll runs on a worker thread of its own, as the bar's does (and as the floor of the first
// measurements did). Built as minimal_window_timer.exe it runs on a timer of the window's thread
// instead, the least a poll can cost (under Wine every thread costs about 1 MB of memory).
#include <windows.h>

#include <shellapi.h>

#include <atomic>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollPeriodMs = 50;
constexpr UINT kTrayIconId = 1;
constexpr COLORREF kLit = RGB(0, 255, 0), kUnlit = RGB(192, 192, 192);
constexpr COLORREF kBackground = RGB(64, 64, 64);  // near neither lamp colour

struct Lamp {
    const wchar_t* text;
    int virtualKey;
    RECT place;
};
constexpr Lamp kLamps[] = {
    {L"Num", VK_NUMLOCK, {-4, 2, 40, 20}},
    {L"Caps", VK_CAPITAL, {25, 2, 69, 20}},
    {L"Scroll", VK_SCROLL, {55, 2, 99, 20}},
};
std::atomic<SHORT> lastStates[3];

void Poll(HWND window) {
    for (int i = 0; i < 3; ++i) {
        const SHORT state = GetKeyState(kLamps[i].virtualKey);
        if (state != lastStates[i]) {
            lastStates[i] = state;
            InvalidateRect(window, &kLamps[i].place, TRUE);
        }
    }
}

DWORD WINAPI PollWorker(void* window) {
    for (;;) {
        Poll(static_cast<HWND>(window));
        Sleep(kPollPeriodMs);
    }
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (int i = 0; i < 3; ++i) {
        RECT place = kLamps[i].place;
        SetTextColor(dc, (lastStates[i] & 1) ? kLit : kUnlit);
        DrawTextW(dc, kLamps[i].text, -1, &place, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, previous);
    EndPaint(window, &paint);
}

void SetTrayIcon(HWND window, DWORD action) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(icon.szTip, L"minimal", ARRAYSIZE(icon.szTip));
    Shell_NotifyIconW(action, &icon);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            Poll(window);
            return 0;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_DESTROY:
            SetTrayIcon(window, NIM_DELETE);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

#ifdef ORUVEL_MINIMAL_TIMER_POLL
constexpr bool kTimerPoll = true;
#else
constexpr bool kTimerPoll = false;
#endif

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.lpszClassName = L"OruvelBenchMinimal";
    RegisterClassExW(&windowClass);
    // Placed away from the bar and from each other, so none covers another.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, windowClass.lpszClassName,
                                  L"minimal", WS_POPUP, 0, kTimerPoll ? 130 : 100, 100, 22, nullptr,
                                  nullptr, instance, nullptr);
    SetTrayIcon(window, NIM_ADD);
    Poll(window);
    if (kTimerPoll) {
        SetTimer(window, kPollTimer, kPollPeriodMs, nullptr);
    } else {
        CloseHandle(CreateThread(nullptr, 0, PollWorker, window, 0, nullptr));
    }
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
