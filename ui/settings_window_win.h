// The settings window: the lit colour and always-on-top, applied on 确定.
#pragma once

namespace oruvel {

// The handler of 设置: opens the settings window modally and returns once it has closed, or at
// once when it is already open (it is brought to the front then).
void OpenSettingsWindow();

}  // namespace oruvel
