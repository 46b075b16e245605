// When the tray icon is added again after the shell refused it: at logon the taskbar may not be
// up yet, or too busy to answer, and without a retry the icon would never appear.
#pragma once

namespace oruvel {

inline constexpr int kTrayRetryPeriodMs = 2000;
inline constexpr int kTrayRetryForMs = 60 * 1000;

// The period for the retry timer after an attempt to add the icon: 0, which stops it, once an add
// succeeds; kTrayRetryPeriodMs while the adds fail, until the retries have gone on for
// kTrayRetryForMs after the first failure. `failedAdds` counts the failed adds in a row, this
// one included.
int TrayRetryPeriod(bool added, int failedAdds);

}  // namespace oruvel
