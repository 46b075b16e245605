// The period rule of the toolkit's timers, kept apart from SetTimer/KillTimer so it can be tested.
#pragma once

namespace oruvel {

// What the caller must do to the system timer after a period change.
enum class TimerAction {
    None,   // leave the timer as it is
    Start,  // (re)start it with the new period; its first event comes one full period from now
    Stop,   // kill it
};

// Sets a timer's period in milliseconds, as a timer control's period property behaves:
// - a negative request counts as 0;
// - the period the timer already has: None, and the running count does not start over;
// - a different period above 0: Start, counting from now (SetTimer with the same id does that);
// - 0 while running: Stop; 0 while stopped: None.
// currentPeriod is the timer's stored period (0 = not running) and receives the new one.
TimerAction ChangeTimerPeriod(int& currentPeriod, int requestedPeriod);

}  // namespace oruvel
