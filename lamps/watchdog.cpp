#include "lamps/watchdog.h"

namespace oruvel {

void WatchdogTick(int32_t& restartFailures, WatchdogIo& io) {
    // The count never passes the limit; >= only guards against it ever doing so.
    if (restartFailures >= kMaxRestartFailures) {
        io.SetWatchdogPeriod(0);
        io.SetFallbackPeriod(kPollPeriodMs);
        return;
    }
    if (io.WorkerRunning()) {
        return;
    }
    restartFailures = io.StartWorker() ? 0 : restartFailures + 1;
}

}  // namespace oruvel
