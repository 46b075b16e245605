#include "lamps/watchdog.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ui/timer_period.h"

namespace oruvel {
namespace {

// Simulated milliseconds for the bar's timers, with their periods kept by ChangeTimerPeriod as
// the real timers are. An event is due one full period after its timer was (re)started.
class SimulatedTimers {
  public:
    struct Timer {
        int period = 0;
        int due = 0;
        std::function<void()> onElapsed;
    };

    int now = 0;
    Timer watchdog;  // 时钟1
    Timer fallback;  // 时钟2

    void SetPeriod(Timer& timer, int ms) {
        if (ChangeTimerPeriod(timer.period, ms) == TimerAction::Start) {
            timer.due = now + timer.period;
        }
    }

    // Delivers every event due up to and including `end`, one at a time, earliest first.
    void RunUntil(int end) {
        for (;;) {
            Timer* next = nullptr;
            for (Timer* timer : {&watchdog, &fallback}) {
                if (timer->period > 0 && timer->due <= end && (!next || timer->due < next->due)) {
                    next = timer;
                }
            }
            if (!next) {
                break;
            }
            now = next->due;
            next->due += next->period;
            next->onElapsed();
        }
        now = end;
    }
};

// A worker that runs only when a scripted start succeeded and nothing ended it since.
class ScriptedWatchdogIo final : public WatchdogIo {
  public:
    explicit ScriptedWatchdogIo(SimulatedTimers& timers) : timers_(timers) {}

    std::deque<bool> startResults;  // one per start; once used up, every start fails
    bool workerAlive = false;
    std::vector<std::pair<int, bool>> starts;  // (time, succeeded)

    bool WorkerRunning() override { return workerAlive; }

    bool StartWorker() override {
        bool started = false;
        if (!startResults.empty()) {
            started = startResults.front();
            startResults.pop_front();
        }
        starts.emplace_back(timers_.now, started);
        workerAlive = started;
        return started;
    }

    void SetWatchdogPeriod(int ms) override { timers_.SetPeriod(timers_.watchdog, ms); }
    void SetFallbackPeriod(int ms) override { timers_.SetPeriod(timers_.fallback, ms); }

  private:
    SimulatedTimers& timers_;
};

using Starts = std::vector<std::pair<int, bool>>;
using Ticks = std::vector<std::pair<int, int32_t>>;  // (time, restartFailures after the event)

TEST(Watchdog, ReproducesTheWorkedTimings) {
    const struct {
        const char* name;
        std::deque<bool> startResults;   // the first is the start-up start, before the watchdog
        std::vector<int> workerEndedAt;  // the worker is ended from outside at these times
        int runUntil;
        Starts starts;
        Ticks ticks;
        std::optional<std::pair<int, int>> fallbackFirstLast;
    } cases[] = {
        {"normal: the worker keeps running",
         {true},
         {},
         8000,
         {{0, true}},
         {{2000, 0}, {4000, 0}, {6000, 0}, {8000, 0}},
         std::nullopt},
        {"every start fails",
         {},
         {},
         12000,
         {{0, false}, {2000, false}, {4000, false}, {6000, false}},
         {{2000, 1}, {4000, 2}, {6000, 3}, {8000, 3}},
         std::pair{8050, 12000}},
        {"start-up start fails, first restart succeeds",
         {false, true},
         {},
         8000,
         {{0, false}, {2000, true}},
         {{2000, 0}, {4000, 0}, {6000, 0}, {8000, 0}},
         std::nullopt},
        {"worker ended from outside",
         {true, true},
         {3000},
         8000,
         {{0, true}, {4000, true}},
         {{2000, 0}, {4000, 0}, {6000, 0}, {8000, 0}},
         std::nullopt},
        {"two failed restarts, a success, then three more failures",
         {false, false, false, true},
         {7000},
         16000,
         {{0, false},
          {2000, false},
          {4000, false},
          {6000, true},
          {8000, false},
          {10000, false},
          {12000, false}},
         {{2000, 1}, {4000, 2}, {6000, 0}, {8000, 1}, {10000, 2}, {12000, 3}, {14000, 3}},
         std::pair{14050, 16000}},
    };
    for (const auto& c : cases) {
        SimulatedTimers timers;
        ScriptedWatchdogIo io(timers);
        io.startResults = c.startResults;
        int32_t restartFailures = 0;
        Ticks ticks;
        std::vector<int> fallbackRefreshes;
        timers.watchdog.onElapsed = [&] {
            WatchdogTick(restartFailures, io);
            ticks.emplace_back(timers.now, restartFailures);
        };
        timers.fallback.onElapsed = [&] { fallbackRefreshes.push_back(timers.now); };

        io.StartWorker();                         // start-up step 5: the result is not counted
        io.SetWatchdogPeriod(kWatchdogPeriodMs);  // start-up step 6, at time 0
        for (int at : c.workerEndedAt) {
            timers.RunUntil(at);
            io.workerAlive = false;
        }
        timers.RunUntil(c.runUntil);

        EXPECT_EQ(io.starts, c.starts) << c.name;
        EXPECT_EQ(ticks, c.ticks) << c.name;
        if (c.fallbackFirstLast) {
            ASSERT_FALSE(fallbackRefreshes.empty()) << c.name;
            EXPECT_EQ(fallbackRefreshes.front(), c.fallbackFirstLast->first) << c.name;
            EXPECT_EQ(fallbackRefreshes.back(), c.fallbackFirstLast->second) << c.name;
        } else {
            EXPECT_TRUE(fallbackRefreshes.empty()) << c.name;
        }
    }
}

}  // namespace
}  // namespace oruvel
