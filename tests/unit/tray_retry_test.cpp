#include "ui/tray_retry.h"

#include <gtest/gtest.h>

#include "ui/timer_period.h"

namespace oruvel {
namespace {

// A shell that refuses the icon until `busyForMs` after the program's start: the program adds the
// icon at start and on each event of its retry timer, whose period follows TrayRetryPeriod.
TEST(TrayRetry, AFailedAddIsRetriedEveryTwoSecondsForAMinute) {
    const struct {
        const char* name;
        int busyForMs;
        int addedAtMs;  // -1: never
        int adds;       // tries of NIM_ADD in all
    } cases[] = {
        {"the shell takes the icon at once", 0, 0, 1},
        {"busy for a moment", 1, 2000, 2},
        {"busy for 10 s", 10000, 10000, 6},
        {"busy for 10.5 s", 10500, 12000, 7},
        {"busy until the last retry", 60000, 60000, 31},
        {"busy for longer than a minute", 60001, -1, 31},
        {"no taskbar at all", 1 << 30, -1, 31},
    };
    for (const auto& c : cases) {
        int period = 0;  // the retry timer, stopped
        int failedAdds = 0;
        int adds = 0;
        int addedAt = -1;
        auto tryAdd = [&](int nowMs) {
            ++adds;
            const bool added = nowMs >= c.busyForMs;
            failedAdds = added ? 0 : failedAdds + 1;
            if (added) {
                addedAt = nowMs;
            }
            ChangeTimerPeriod(period, TrayRetryPeriod(added, failedAdds));
        };
        tryAdd(0);
        for (int now = 0; period > 0 && now < 10 * kTrayRetryForMs;) {
            now += period;
            tryAdd(now);
        }
        EXPECT_EQ(addedAt, c.addedAtMs) << c.name;
        EXPECT_EQ(adds, c.adds) << c.name;
        EXPECT_EQ(period, 0) << c.name << ": the retry timer still runs";
    }
}

}  // namespace
}  // namespace oruvel
