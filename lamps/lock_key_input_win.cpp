#include "lamps/lock_key_input_win.h"

#include <windows.h>

#include "lamps/lamp_refresh.h"

namespace oruvel {

namespace {

// The keyboard in the generic desktop page of the HID usage tables.
constexpr USHORT kUsagePageGenericDesktop = 1, kUsageKeyboard = 6;

#ifdef ORUVEL_FAIL_RAW_INPUT
// A test build in which the registration fails, so that only the polls drive the lamps.
constexpr bool kRegistrationFails = true;
#else
constexpr bool kRegistrationFails = false;
#endif

bool RegisterKeyboard(DWORD flags, HWND target) {
    const RAWINPUTDEVICE keyboard{kUsagePageGenericDesktop, kUsageKeyboard, flags, target};
    return RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
}

}  // namespace

void ListenForLockKeys(HWND target) {
    if (kRegistrationFails) {
        return;
    }
    // RIDEV_INPUTSINK: the input comes while other windows have the focus too.
    RegisterKeyboard(RIDEV_INPUTSINK, target);
}

void StopListeningForLockKeys() {
    // The removal names no window.
    RegisterKeyboard(RIDEV_REMOVE, nullptr);
}

bool IsLockKeyInput(HRAWINPUT input) {
    RAWINPUT raw;
    UINT size = sizeof raw;
    return GetRawInputData(input, RID_INPUT, &raw, &size, sizeof raw.header) !=
               static_cast<UINT>(-1) &&
           raw.header.dwType == RIM_TYPEKEYBOARD && IsLockKey(raw.data.keyboard.VKey);
}

}  // namespace oruvel
