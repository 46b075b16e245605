// The lamps' shared state, and the poll worker and watchdog that keep them following the keys.
// The bar comes in as a window to post sample requests to and as the two timers of the watchdog.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "lamps/lamp_refresh.h"

namespace oruvel {

// The colour of a lit lamp, 0x00BBGGRR; written on the bar's thread, read when a lamp is painted.
extern std::atomic<int32_t> litColour;
// The key-state words that the last refresh stored.
extern LockWords lockWords;

// The watchdog's two timers: 时钟1, its own, and 时钟2, the fallback poll.
struct WatchdogTimers {
    virtual void SetWatchdogPeriod(int ms) = 0;
    virtual void SetFallbackPeriod(int ms) = 0;

  protected:
    ~WatchdogTimers() = default;
};

// Start-up step 5: a poll worker that posts `request` to `bar` every poll period while the bar is
// shown, asking the bar's thread to sample the keys; a failed start is left to the watchdog.
void StartPollWorker(HWND bar, UINT request);
// On the bar's thread, as it takes a request: the worker may ask for the next sample.
void SampleRequestTaken();
// Start-up step 6: the watchdog's period.
void ArmWatchdog(WatchdogTimers& timers);
// An event of 时钟1.
void WatchdogEvent(WatchdogTimers& timers);
// Before the program returns from its entry point: ends the poll worker, waiting one poll
// period at most.
void StopPollWorker();

}  // namespace oruvel
