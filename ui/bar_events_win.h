// What the bar's events run beyond the bar itself: the program's start-up and end, the lamps'
// drivers, and the settings. The program that creates the bar handles them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace oruvel {

struct BarEvents {
    // The bar exists, hidden; runs the start-up sequence before it is first shown.
    virtual void BarCreated() = 0;
    // The bar is about to be destroyed; it and its properties still exist.
    virtual void BarDestroying() = 0;
    // Windows is ending the logon and will end the program without destroying the bar.
    virtual void SessionEnding() = 0;
    // 设置 was chosen in 右键菜单.
    virtual void OpenSettings() = 0;

    virtual void WatchdogEvent() = 0;      // 时钟1
    virtual void FallbackPollEvent() = 0;  // 时钟2
    // IndicatorBar::kSampleRequest: a sample of the lock keys asked of the bar's thread.
    virtual void SampleRequested() = 0;
    // The bar's raw keyboard input (WM_INPUT), before the system frees it.
    virtual void RawInput(HRAWINPUT input) = 0;
    // The bar's resample timer (resampleTimer()) fired; it is disarmed already.
    virtual void ResampleEvent() = 0;
    // A key went down or up while the bar had the focus.
    virtual void KeyMessage(WPARAM virtualKey) = 0;

    // The colour to paint lamp `lamp` (0 Num, 1 Caps, 2 Scroll) in now, 0x00BBGGRR.
    virtual int32_t LampColour(int lamp) const = 0;

  protected:
    ~BarEvents() = default;
};

}  // namespace oruvel
