#include "ui/timer_period.h"

#include <gtest/gtest.h>

namespace oruvel {
namespace {

TEST(ChangeTimerPeriod, FollowsTheTimerPeriodRule) {
    const struct {
        const char* name;
        int current;  // 0 = stopped
        int requested;
        TimerAction action;
        int period;
    } cases[] = {
        {"stopped, set 0", 0, 0, TimerAction::None, 0},
        {"stopped, set negative", 0, -5, TimerAction::None, 0},
        {"stopped, set 50", 0, 50, TimerAction::Start, 50},
        {"running, same period keeps counting", 2000, 2000, TimerAction::None, 2000},
        {"running, new period restarts the count", 2000, 50, TimerAction::Start, 50},
        {"running, set 0", 2000, 0, TimerAction::Stop, 0},
        {"running, set negative", 2000, -1, TimerAction::Stop, 0},
    };
    for (const auto& c : cases) {
        int period = c.current;
        EXPECT_EQ(ChangeTimerPeriod(period, c.requested), c.action) << c.name;
        EXPECT_EQ(period, c.period) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
