// A timer of a window, driven by its period: setting a period greater than 0 starts it (the
// first event comes one full period later), 0 or less stops it, and the period it already has
// changes nothing. Its events arrive as WM_TIMER with its id.
#pragma once

#include <windows.h>

#include "ui/timer_period.h"

namespace oruvel {

class WindowTimer {
  public:
    explicit WindowTimer(UINT_PTR id) : id_(id) {}

    UINT_PTR id() const { return id_; }
    void Attach(HWND window) { window_ = window; }

    void SetPeriod(int milliseconds) {
        switch (ChangeTimerPeriod(period_, milliseconds)) {
            case TimerAction::Start:
                SetTimer(window_, id_, static_cast<UINT>(period_), nullptr);
                break;
            case TimerAction::Stop:
                KillTimer(window_, id_);
                break;
            case TimerAction::None:
                break;
        }
    }

  private:
    UINT_PTR id_;
    HWND window_ = nullptr;
    int period_ = 0;
};

// A timer of a window that fires once: its event comes `delay` after it was last armed (arming it
// again starts the delay over), and the event's handler disarms it. Its events arrive as
// WM_TIMER with its id.
class OneShotTimer {
  public:
    explicit OneShotTimer(UINT_PTR id) : id_(id) {}

    UINT_PTR id() const { return id_; }
    void Attach(HWND window) { window_ = window; }

    void Arm(int delayMs) { SetTimer(window_, id_, static_cast<UINT>(delayMs), nullptr); }
    void Disarm() { KillTimer(window_, id_); }

  private:
    UINT_PTR id_;
    HWND window_ = nullptr;
};

}  // namespace oruvel
