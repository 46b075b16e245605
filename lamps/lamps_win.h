// The lamps' shared state and the threads and timers that keep them following the keys.
#pragma once

#include <atomic>
#include <cstdint>

#include "lamps/lamp_refresh.h"

namespace oruvel {

// The colour of a lit lamp, 0x00BBGGRR; written on the bar's thread, read when a lamp is painted.
extern std::atomic<int32_t> litColour;
// The key-state words that the last refresh stored.
extern LockWords lockWords;

// One refresh of the bar's lamps, on the bar's thread.
void RefreshBarLamps();
// A refresh, if the bar is shown: no driver refreshes a hidden bar.
void RefreshShownBar();
// Start-up step 5: the poll worker; a failed start is left to the watchdog.
void StartPollWorker();
// Start-up step 6: the watchdog's period.
void ArmWatchdog();
// Before the program returns from its entry point: ends the poll worker, waiting one poll
// period at most.
void StopPollWorker();

}  // namespace oruvel
