#include "ui/tray_retry.h"

namespace oruvel {

int TrayRetryPeriod(bool added, int failedAdds) {
    if (added) {
        return 0;
    }
    const long long retriedForMs = static_cast<long long>(failedAdds - 1) * kTrayRetryPeriodMs;
    return retriedForMs < kTrayRetryForMs ? kTrayRetryPeriodMs : 0;
}

}  // namespace oruvel
