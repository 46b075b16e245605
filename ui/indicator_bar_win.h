// The indicator bar: a borderless 100 x 22 window with three lamps drawn over its picture.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "base/handles_win.h"
#include "ui/bar_events_win.h"
#include "ui/tray_icon_win.h"
#include "ui/window_timer_win.h"

namespace oruvel {

class IndicatorBar {
  public:
    static constexpr int kWidth = 100;
    static constexpr int kHeight = 22;
    static constexpr int kLampCount = 3;  // Num, Caps, Scroll, from left to right
    // Posted to the bar from any thread, it asks the bar's thread to sample the lock keys.
    static constexpr UINT kSampleRequest = WM_APP + 2;

    // Creates the bar hidden, centred on the primary screen; `events` handles what happens to it
    // from then on, its creation first, inside this call.
    bool Create(HINSTANCE instance, BarEvents& events);

    // The bar's window, or null once it has been destroyed. Any thread.
    HWND window() const { return window_.load(std::memory_order_relaxed); }
    // Whether the system shows the bar now; false once it is gone. Any thread.
    bool IsShown() const;

    // The always-on-top flag: set, the bar is in the topmost band at once, without being moved
    // or activated; read, the value last set.
    bool AlwaysOnTop() const { return alwaysOnTop_; }
    void SetAlwaysOnTop(bool on);
    // The place of the bar's top-left corner on the screen; a new coordinate is first clamped
    // (ClampBarCoordinate).
    int32_t Left() const;
    void SetLeft(int32_t left);
    int32_t Top() const;
    void SetTop(int32_t top);

    // Redraws lamp `lamp` (0..kLampCount - 1) at once, on the bar's thread, in the colour that
    // BarEvents::LampColour gives it now.
    void RedrawLamp(int lamp);

    // The background picture and the outline cut from it.
    void ApplyBarPicture();

    WindowTimer& watchdogTimer() { return watchdogTimer_; }   // 时钟1
    WindowTimer& fallbackTimer() { return fallbackTimer_; }   // 时钟2
    OneShotTimer& resampleTimer() { return resampleTimer_; }  // once more after a lock key
    TrayIcon& trayIcon() { return trayIcon_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MoveTo(int32_t left, int32_t top);
    void OnLeftButtonDown(POINT at);
    void OnKeyDown(WPARAM key);
    void BeginBarDrag();

    std::atomic<HWND> window_{nullptr};
    BarEvents* events_ = nullptr;
    bool alwaysOnTop_ = false;
    UniqueFont lampFont_;
    UniqueBitmap background_;  // barPicture as a 32-bit top-down DIB section
    SIZE backgroundSize_{};
    WindowTimer watchdogTimer_{1};
    WindowTimer fallbackTimer_{2};
    OneShotTimer resampleTimer_{3};
    TrayIcon trayIcon_;
};

// The program's one bar.
extern IndicatorBar indicatorBar;

}  // namespace oruvel
