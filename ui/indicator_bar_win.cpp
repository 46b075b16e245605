#include "ui/indicator_bar_win.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "assets/resource_ids.h"
#include "ui/bar_menu_win.h"
#include "ui/bar_placement.h"
#include "ui/bar_placement_win.h"
#include "ui/bitmap_shape.h"
#include "ui/resources_win.h"
#include "ui/toolkit_win.h"

namespace oruvel {

IndicatorBar indicatorBar;

namespace {

constexpr wchar_t kClassName[] = L"OruvelIndicatorBar";

constexpr COLORREF kMagentaCutAway = 0xFF00FF;

struct LampDesign {
    const wchar_t* text;
    RECT place;  // client coordinates; Num starts 4 pixels left of the bar and is cut off there
};
constexpr LampDesign kLamps[] = {
    {L"Num", {-4, 2, -4 + 44, 2 + 18}},
    {L"Caps", {25, 2, 25 + 44, 2 + 18}},
    {L"Scroll", {55, 2, 55 + 44, 2 + 18}},
};

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

HFONT CreateLampFont() {
    LOGFONTW font{};
    font.lfHeight = -9;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    // 微软雅黑; where it is missing the font mapper picks a bold sans of the same height.
    lstrcpynW(font.lfFaceName, L"\u5FAE\u8F6F\u96C5\u9ED1", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

}  // namespace

bool IndicatorBar::Create(HINSTANCE instance, BarEvents& events) {
    events_ = &events;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORUVEL));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    lampFont_.reset(CreateLampFont());
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    // A tool window gets no taskbar button; a popup has no frame or caption.
    return CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Oruvel", WS_POPUP, x, y, kWidth, kHeight,
                           nullptr, nullptr, instance, this) != nullptr;
}

bool IndicatorBar::IsShown() const {
    HWND bar = window();
    return bar && IsWindowVisible(bar);
}

void IndicatorBar::SetAlwaysOnTop(bool on) {
    alwaysOnTop_ = on;
    SetWindowPos(window(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int32_t IndicatorBar::Left() const {
    RECT place{};
    GetWindowRect(window(), &place);
    return place.left;
}

int32_t IndicatorBar::Top() const {
    RECT place{};
    GetWindowRect(window(), &place);
    return place.top;
}

void IndicatorBar::SetLeft(int32_t left) {
    MoveTo(left, Top());
}
void IndicatorBar::SetTop(int32_t top) {
    MoveTo(Left(), top);
}

void IndicatorBar::MoveTo(int32_t left, int32_t top) {
    SetWindowPos(window(), nullptr, ClampBarCoordinate(left), ClampBarCoordinate(top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void IndicatorBar::RedrawLamp(int lamp) {
    RECT area = kLamps[lamp].place;
    area.left = std::max<LONG>(area.left, 0);
    // The whole bar is composed off screen, so the lamp's area comes back with its background
    // and every overlapping neighbour intact; no trace of the old text is left.
    RedrawWindow(window(), &area, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void IndicatorBar::ApplyBarPicture() {
    const auto picture = DecodeBitmapFile(ResourceBytes(IDR_BAR_PICTURE));
    if (!picture) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height;  // top-down, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    background_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (background_) {
        std::copy(picture->pixels.begin(), picture->pixels.end(), static_cast<uint32_t*>(bits));
        backgroundSize_ = {picture->width, picture->height};
    }

    UniqueRgn shape(CreateRectRgn(0, 0, 0, 0));
    for (const ShapeRun& run : ShapeRuns(*picture, kMagentaCutAway)) {
        UniqueRgn row(CreateRectRgn(run.x0, run.y, run.x1, run.y + 1));
        CombineRgn(shape.get(), shape.get(), row.get(), RGN_OR);
    }
    // On success the system owns the region.
    if (SetWindowRgn(window(), shape.get(), TRUE)) {
        shape.release();
    }
    InvalidateRect(window(), nullptr, FALSE);
}

void IndicatorBar::Paint() {
    PaintScope paint(window());
    RECT client;
    GetClientRect(window(), &client);
    UniqueMemoryDc canvas(CreateCompatibleDC(paint.dc()));
    UniqueBitmap canvasBitmap(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
    ScopedSelect canvasTarget(canvas.get(), canvasBitmap.get());

    if (background_) {
        UniqueMemoryDc source(CreateCompatibleDC(paint.dc()));
        ScopedSelect picture(source.get(), background_.get());
        for (int y = 0; y < client.bottom; y += backgroundSize_.cy) {
            for (int x = 0; x < client.right; x += backgroundSize_.cx) {
                BitBlt(canvas.get(), x, y, backgroundSize_.cx, backgroundSize_.cy, source.get(), 0,
                       0, SRCCOPY);
            }
        }
    } else {
        FillRect(canvas.get(), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }

    ScopedSelect font(canvas.get(), lampFont_.get());
    SetBkMode(canvas.get(), TRANSPARENT);
    for (int i = 0; i < kLampCount; ++i) {
        RECT place = kLamps[i].place;
        // Asked now, so every paint shows the lit colour in effect.
        SetTextColor(canvas.get(), static_cast<COLORREF>(events_->LampColour(i)));
        DrawTextW(canvas.get(), kLamps[i].text, -1, &place,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }

    const RECT& area = paint.area();
    BitBlt(paint.dc(), area.left, area.top, area.right - area.left, area.bottom - area.top,
           canvas.get(), area.left, area.top, SRCCOPY);
}

void IndicatorBar::OnLeftButtonDown(POINT at) {
    const bool onLamp = std::any_of(std::begin(kLamps), std::end(kLamps),
                                    [&](const LampDesign& l) { return PtInRect(&l.place, at); });
    if (onLamp) {
        BeginBarDrag();
    } else {
        // The bar's own strips move it as a caption does.
        PostMessageW(window(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    }
}

void IndicatorBar::BeginBarDrag() {
    ReleaseCapture();
    // SC_MOVE | 1: the system's move with the mouse; returns when the button is released.
    SendMessageA(window(), WM_SYSCOMMAND, SC_MOVE | 1, 0);
}

void IndicatorBar::OnKeyDown(WPARAM key) {
    const bool modified =
        GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
    if (key == VK_ESCAPE && !modified) {
        PostMessageW(window(), WM_CLOSE, 0, 0);
    }
}

LRESULT CALLBACK IndicatorBar::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* bar =
            static_cast<IndicatorBar*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bar));
        bar->window_ = window;
        bar->watchdogTimer_.Attach(window);
        bar->fallbackTimer_.Attach(window);
        bar->resampleTimer_.Attach(window);
        TopLevelWindowCreated();
    }
    auto* bar = reinterpret_cast<IndicatorBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!bar) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return bar->HandleMessage(message, wParam, lParam);
}

LRESULT IndicatorBar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND bar = window();
    switch (message) {
        case WM_CREATE:
            events_->BarCreated();
            return 0;
        case WM_DESTROY:
            events_->BarDestroying();
            trayIcon_.Remove();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
            window_ = nullptr;
            TopLevelWindowDestroyed();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the picture covers the whole client area
        case WM_PAINT:
            Paint();
            return 0;
        case kSampleRequest:
            events_->SampleRequested();
            return 0;
        case WM_INPUT:
            events_->RawInput(reinterpret_cast<HRAWINPUT>(lParam));
            // The system frees the input's data in DefWindowProc.
            return DefWindowProcW(bar, message, wParam, lParam);
        case WM_LBUTTONDOWN:
            OnLeftButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_RBUTTONUP:
            ShowBarMenu();
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam);
            events_->KeyMessage(wParam);
            return 0;
        case WM_KEYUP:
            events_->KeyMessage(wParam);
            return 0;
        case WM_COMMAND:
            HandleMenuCommand(LOWORD(wParam), *events_);
            return 0;
        case WM_TIMER:
            if (wParam == watchdogTimer_.id()) {
                events_->WatchdogEvent();
            } else if (wParam == fallbackTimer_.id()) {
                events_->FallbackPollEvent();
            } else if (wParam == trayIcon_.retryTimer().id()) {
                trayIcon_.Retry();
            } else if (wParam == resampleTimer_.id()) {
                resampleTimer_.Disarm();
                events_->ResampleEvent();
            }
            return 0;
        case kTrayCallback:
            // Without a negotiated version the notification carries the mouse message itself.
            if (const auto event = TrayEventFromNotification(static_cast<uint32_t>(lParam))) {
                HandleTrayEvent(*event);
            }
            return 0;
        case WM_DISPLAYCHANGE:
            DisplaysChanged();
            return 0;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETWORKAREA) {
                DisplaysChanged();
            }
            return DefWindowProcW(bar, message, wParam, lParam);
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                events_->SessionEnding();
            }
            return 0;
        default:
            if (message == TaskbarCreatedMessage()) {
                trayIcon_.Reinstall();
                return 0;
            }
            return DefWindowProcW(bar, message, wParam, lParam);
    }
}

}  // namespace oruvel
