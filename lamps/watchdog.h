// The watchdog's decisions: keep a poll worker running, and after three failed restarts in a
// row give up on threads and poll the lamps from the fallback timer instead. Portable; the
// Win32 side owns the thread handle and the timers.
#pragma once

#include <cstdint>

namespace oruvel {

struct WatchdogIo {
    // WaitForSingleObject(workerThread, 0) == WAIT_TIMEOUT. Any other result, including the
    // WAIT_FAILED that a null handle gives, means no worker is running.
    virtual bool WorkerRunning() = 0;
    // CreateThread(PollWorker); stores the handle, or null, in workerThread. True when non-null.
    virtual bool StartWorker() = 0;
    virtual void SetWatchdogPeriod(int ms) = 0;  // 时钟1
    virtual void SetFallbackPeriod(int ms) = 0;  // 时钟2

  protected:
    ~WatchdogIo() = default;
};

inline constexpr int kWatchdogPeriodMs = 2000;  // 时钟1, armed at start-up
inline constexpr int kPollPeriodMs = 50;        // the worker's sleep, and 时钟2 in the fallback
inline constexpr int kMaxRestartFailures = 3;   // failed restarts in a row before the fallback

// One event of 时钟1. restartFailures counts failed restarts since the last successful one.
//  1. After kMaxRestartFailures failures: stop 时钟1, start 时钟2 at kPollPeriodMs, and nothing
//     else. This test comes first, so the switch happens one event after the third failure.
//  2. Else, if a worker is running: nothing.
//  3. Else start a worker: success resets restartFailures to 0, failure adds 1.
// Runs on the UI thread and never blocks.
void WatchdogTick(int32_t& restartFailures, WatchdogIo& io);

}  // namespace oruvel
