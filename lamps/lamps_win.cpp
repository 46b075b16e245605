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

// One poll: a bar that is hidden, or already destroyed at the end of the program, is not touched.
void RefreshShownBar() {
    if (indicatorBar.IsShown()) {
        RefreshBarLamps();
    }
}

DWORD WINAPI PollWorker(void*) {
    // Share the bar's input state: a thread of its own would not see the lock keys change
    // while the bar is the foreground window (seen under Wine), since key messages then
    // update the bar thread's state only. Wine 8 clears the shared key state when attaching and
    // syncs only later changes, so a lock that is on at this moment reads off until it changes.
    AttachThreadInput(GetCurrentThreadId(),
                      GetWindowThreadProcessId(indicatorBar.window(), nullptr), TRUE);
    for (;;) {
        RefreshShownBar();
        Sleep(kPollPeriodMs);
    }
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
    bool WorkerRunning() override {
        return WaitForSingleObject(workerThread.get(), 0) == WAIT_TIMEOUT;
    }
    bool StartWorker() override {
        // The ended worker's handle is closed as the new one replaces it.
        workerThread.reset(StartWorkerThread());
        return static_cast<bool>(workerThread);
    }
    void SetWatchdogPeriod(int ms) override { indicatorBar.watchdogTimer().SetPeriod(ms); }
    void SetFallbackPeriod(int ms) override { indicatorBar.fallbackTimer().SetPeriod(ms); }
};

}  // namespace

void RefreshBarLamps() {
    RefreshLamps(lockWords, litColour, indicatorBar);
}

void StartPollWorker() {
    workerThread.reset(StartWorkerThread());
}

void ArmWatchdog() {
    indicatorBar.watchdogTimer().SetPeriod(kWatchdogPeriodMs);
}

void WatchdogEvent() {
    BarWatchdog io;
    WatchdogTick(restartFailures, io);
}

void FallbackPollEvent() {
    RefreshShownBar();
}

}  // namespace oruvel
