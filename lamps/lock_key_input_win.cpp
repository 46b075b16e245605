#include "lamps/lock_key_input_win.h"

#include <windows.h>

#include "lamps/lamp_refresh.h"
#include "lamps/lamps_win.h"
#include "ui/bar_events_win.h"
#include "ui/indicator_bar_win.h"

namespace oruvel {

namespace {

// The keyboard in the generic desktop page of the HID usage tables.
constexpr USHORT kUsagePageGenericDesktop = 1, kUsageKeyboard = 6;

// At a lock key's press the bar's thread may still read the old toggle (seen under Wine: the
// state read at the key-down input is the one before it, at the key-up the new one), so the
// lamps are sampled once more this long after the last lock key input.
constexpr int kResampleDelayMs = 15;

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

void ListenForLockKeys() {
    if (kRegistrationFails) {
        return;
    }
    // RIDEV_INPUTSINK: the input comes while other windows have the focus too.
    RegisterKeyboard(RIDEV_INPUTSINK, indicatorBar.window());
}

void StopListeningForLockKeys() {
    // The removal names no window.
    RegisterKeyboard(RIDEV_REMOVE, nullptr);
}

void LockKeyInput(HRAWINPUT input) {
    RAWINPUT raw;
    UINT size = sizeof raw;
    if (GetRawInputData(input, RID_INPUT, &raw, &size, sizeof raw.header) ==
            static_cast<UINT>(-1) ||
        raw.header.dwType != RIM_TYPEKEYBOARD || !IsLockKey(raw.data.keyboard.VKey)) {
        return;  // any other key is dropped here: nothing of it is kept
    }
    // A hidden bar is refreshed by no driver; the first poll once it is shown catches up.
    if (!indicatorBar.IsShown()) {
        return;
    }
    RefreshBarLamps();
    indicatorBar.resampleTimer().Arm(kResampleDelayMs);
}

void LockKeyMessage(WPARAM virtualKey) {
    // While the bar has the focus the lock keys come to it as key messages too, and its thread's
    // key state changes as it takes each of them, after the raw input of the same key: the lamps
    // follow at the press and at the release without waiting for the second sample.
    if (IsLockKey(static_cast<int>(virtualKey))) {
        RefreshShownBar();
    }
}

void LockKeyResampleEvent() {
    indicatorBar.resampleTimer().Disarm();
    RefreshShownBar();
}

}  // namespace oruvel
