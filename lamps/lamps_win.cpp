#include "lamps/lamps_win.h"

#include <windows.h>

#include "base/handles_win.h"
#include "lamps/watchdog.h"

namespace oruvel {

std::atomic<int32_t> litColour{0};
LockWords lockWords;

namespace {

// Touched on the bar's thread only.
UniqueHandle workerThread;
int32_t restartFailures = 0;

// All that a poll worker touches besides the system. Constant-initialised and without a
// destructor to run, so it is intact for as long as any worker can run, also after the program
// has returned from its entry point.
struct PollShared {
    std::atomic<HWND> bar{nullptr};  // the bar to ask for samples; null once it has gone
    std::atomic<UINT> request{0};    // the message that asks
    std::atomic<bool> stop{false};   // set as the program ends
    // A sample asked of the bar's thread and not yet taken: the worker asks for no second one,
    // so a bar thread that was busy for a while finds one request waiting, not a pile.
    std::atomic<bool> sampleRequested{false};
};
constinit PollShared pollShared;

// The keys are read on the bar's thread, at the worker's request, never on the worker's own:
// - Wine 8 starts each thread's key state empty and copies only later changes into it, so a
//   worker that the watchdog starts after a lock was switched on reads that lock off (seen: the
//   lamp went dark); and the platform documents a thread's key state as changing with the key
//   messages that thread takes, which a worker takes none of;
// - attaching the worker to the bar's input state (AttachThreadInput) resets that key state, as
//   the platform documents and Wine does too: a lock that is on then reads off until it changes.
// A posted request never blocks the worker. It sleeps rather than waiting on an event: under
// Wine a sleep costs no request to the wine server, 20 times a second.
DWORD WINAPI PollWorker(void*) {
    while (!pollShared.stop) {
        HWND bar = pollShared.bar;
        // A bar that is hidden, or already destroyed, is not asked.
        if (bar && IsWindowVisible(bar) && !pollShared.sampleRequested.exchange(true) &&
            !PostMessageW(bar, pollShared.request, 0, 0)) {
            pollShared.sampleRequested = false;
        }
        Sleep(kPollPeriodMs);
    }
    return 0;
}

#ifdef ORUVEL_FAIL_THREAD_STARTS
// A test build in which every thread start fails, so the watchdog must fall back to 时钟2.
constexpr bool kThreadStartsFail = true;
#else
constexpr bool kThreadStartsFail = false;
#endif

HANDLE StartWorkerThread() {
    if (kThreadStartsFail) {
        return nullptr;
    }
    return CreateThread(nullptr, 0, PollWorker, nullptr, 0, nullptr);
}

struct BarWatchdog final : WatchdogIo {
    explicit BarWatchdog(WatchdogTimers& timers) : timers(timers) {}
    bool WorkerRunning() override {
        return WaitForSingleObject(workerThread.get(), 0) == WAIT_TIMEOUT;
    }
    bool StartWorker() override {
        // A worker ended from outside between claiming a request and posting it left the claim.
        pollShared.sampleRequested = false;
        // The ended worker's handle is closed as the new one replaces it.
        workerThread.reset(StartWorkerThread());
        return static_cast<bool>(workerThread);
    }
    void SetWatchdogPeriod(int ms) override { timers.SetWatchdogPeriod(ms); }
    void SetFallbackPeriod(int ms) override { timers.SetFallbackPeriod(ms); }

    WatchdogTimers& timers;
};

}  // namespace

void StartPollWorker(HWND bar, UINT request) {
    pollShared.bar = bar;
    pollShared.request = request;
    workerThread.reset(StartWorkerThread());
}

void SampleRequestTaken() {
    // Cleared first: a request the worker makes during this refresh is another sample.
    pollShared.sampleRequested = false;
}

void ArmWatchdog(WatchdogTimers& timers) {
    timers.SetWatchdogPeriod(kWatchdogPeriodMs);
}

void StopPollWorker() {
    pollShared.bar = nullptr;
    pollShared.stop = true;
    // The worker sees the flag when its sleep ends, within a poll period. Should it take longer,
    // it finds no bar to ask and ends: nothing it touches is ever torn down.
    WaitForSingleObject(workerThread.get(), kPollPeriodMs);
}

void WatchdogEvent(WatchdogTimers& timers) {
    BarWatchdog io(timers);
    WatchdogTick(restartFailures, io);
}

}  // namespace oruvel
