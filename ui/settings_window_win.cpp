#include "ui/settings_window_win.h"

namespace oruvel {

void OpenSettingsWindow() {}

}  // namespace oruvel
