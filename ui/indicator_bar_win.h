// The indicator bar: a borderless 100 x 22 window with three lamps drawn over its picture.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "lamps/lamp_refresh.h"
#include "settings/settings.h"
#include "ui/handles_win.h"
#include "ui/tray_icon_win.h"
#include "ui/window_timer_win.h"

namespace oruvel {

class IndicatorBar final : public BarProperties, public LampIo {
public:
    static constexpr int kWidth = 100;
    static constexpr int kHeight = 22;

    // Creates the bar hidden, centred on the primary screen; its creation handler runs inside.
    bool Create(HINSTANCE instance);

    // The bar's window, or null once it has been destroyed. Any thread.
    HWND window() const { return window_.load(std::memory_order_relaxed); }
    // Whether the system shows the bar now; false once it is gone. Any thread.
    bool IsShown() const;

    // BarProperties
    bool AlwaysOnTop() const override { return alwaysOnTop_; }
    void SetAlwaysOnTop(bool on) override;
    int32_t Left() const override;
    void SetLeft(int32_t left) override;
    int32_t Top() const override;
    void SetTop(int32_t top) override;
    int32_t Width() const override { return kWidth; }

    // LampIo, on the bar's thread: its key state is the one that input to the bar updates.
    int32_t KeyState(int virtualKey) override { return GetKeyState(virtualKey); }
    void SetLampState(Lamp lamp, int32_t keyStateWord) override;

    // The background picture and the outline cut from it.
    void ApplyBarPicture();

    WindowTimer& watchdogTimer() { return watchdogTimer_; }  // 时钟1
    WindowTimer& fallbackTimer() { return fallbackTimer_; }  // 时钟2
    OneShotTimer& resampleTimer() { return resampleTimer_; }  // once more after a lock key
    TrayIcon& trayIcon() { return trayIcon_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void RedrawLamp(Lamp lamp);
    void MoveTo(int32_t left, int32_t top);
    void OnLeftButtonDown(POINT at);
    void OnKeyDown(WPARAM key);
    void BeginBarDrag();

    std::atomic<HWND> window_{nullptr};
    bool alwaysOnTop_ = false;
    LampStates lampStates_;
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
