#include "lamps/lamps_win.h"

#include <windows.h>

#include "lamps/watchdog.h"
#include "ui/bar_events_win.h"
#include "ui/handles_win.h"
#include "ui/indicator_bar_win.h"

namespace oruvel {

std::atomic<int32_t> litColour{0};
LockWords lockWords;

namespace {

// Touched on the bar's thread only.
UniqueHandle workerThread;
int32_t restartFailures = 0;
// Set when the program ends; a worker waits on it between polls. Made with the first worker.
UniqueHandle stopPolling;

// All that a poll worker touches besides the system. Constant-initialised and without a
// destructor to run, so it is intact for as long as any worker can run.
struct PollShared {
    std::atomic<HWND> bar{nullptr};     // the bar to ask for samples; set before any worker starts
    std::atomic<HANDLE> stop{nullptr};  // stopPolling's event
    // A sample asked of the bar's thread and not yet taken: the worker asks for no second one,
    // so a bar thread that was busy for a while finds one request waiting, not a pile.
    std::atomic<bool> sampleRequested{false};
};
constinit PollShared pollShared;

// The keys are read on the bar's thread, at the worker's request, never on the worker's own:
// - a thread of its own does not see the lock keys change while the bar has the focus (seen
//   under Wine: the key messages then update the bar thread's key state only);
// - attaching the worker to the bar's input state (AttachThreadInput) resets that key state, as
//   the platform documents and Wine does too: a lock that is on then reads off until it changes.
// A posted request never blocks the worker, and the worker's wait ends at once when stopped.
DWORD WINAPI PollWorker(void*) {
    const HANDLE stop = pollShared.stop.load();
    do {
        HWND bar = pollShared.bar.load();
        // A bar that is hidden, or already destroyed, is not asked.
        if (bar && IsWindowVisible(bar) && !pollShared.sampleRequested.exchange(true) &&
            !PostMessageW(bar, kLampSampleRequest, 0, 0)) {
            pollShared.sampleRequested = false;
        }
    } while (WaitForSingleObject(stop, kPollPeriodMs) == WAIT_TIMEOUT);
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
    if (!stopPolling) {
        stopPolling.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        pollShared.stop = stopPolling.get();
    }
    // A worker that could not be stopped is no worker: the start counts as failed.
    if (!stopPolling) {
        return nullptr;
    }
    return CreateThread(nullptr, 0, PollWorker, nullptr, 0, nullptr);
}

struct BarWatchdog final : WatchdogIo {
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
    void SetWatchdogPeriod(int ms) override { indicatorBar.watchdogTimer().SetPeriod(ms); }
    void SetFallbackPeriod(int ms) override { indicatorBar.fallbackTimer().SetPeriod(ms); }
};

}  // namespace

void RefreshBarLamps() {
    RefreshLamps(lockWords, indicatorBar);
}

void RefreshShownBar() {
    if (indicatorBar.IsShown()) {
        RefreshBarLamps();
    }
}

void StartPollWorker() {
    pollShared.bar = indicatorBar.window();
    workerThread.reset(StartWorkerThread());
}

void ArmWatchdog() {
    indicatorBar.watchdogTimer().SetPeriod(kWatchdogPeriodMs);
}

void StopPollWorker() {
    pollShared.bar = nullptr;
    if (!workerThread) {
        return;
    }
    SetEvent(stopPolling.get());
    // A poll is a visibility query and a post, so the worker is back in its wait at once and
    // ends there. Should it not end within a poll period after all, its event stays open for it
    // until the process ends.
    if (WaitForSingleObject(workerThread.get(), kPollPeriodMs) == WAIT_TIMEOUT) {
        stopPolling.release();
    }
}

void WatchdogEvent() {
    BarWatchdog io;
    WatchdogTick(restartFailures, io);
}

void FallbackPollEvent() {
    RefreshShownBar();
}

void LampSampleRequested() {
    // Cleared first: a request the worker makes during this refresh is another sample.
    pollShared.sampleRequested = false;
    RefreshShownBar();
}

}  // namespace oruvel
