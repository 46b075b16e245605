#include "ui/timer_period.h"

namespace oruvel {

TimerAction ChangeTimerPeriod(int& currentPeriod, int requestedPeriod) {
    const int period = requestedPeriod < 0 ? 0 : requestedPeriod;
    if (period == currentPeriod) {
        return TimerAction::None;
    }
    const bool wasRunning = currentPeriod > 0;
    currentPeriod = period;
    if (period > 0) {
        return TimerAction::Start;
    }
    return wasRunning ? TimerAction::Stop : TimerAction::None;
}

}  // namespace oruvel
