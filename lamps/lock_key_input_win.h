// Raw keyboard input as a trigger of the lamps beside the poll: a lock key's input refreshes
// them at once, without a keyboard hook.
#pragma once

#include <windows.h>

namespace oruvel {

// At a lock key's press the bar's thread may still read the old toggle (seen under Wine: the
// state read at the key-down input is the one before it, at the key-up the new one), so the
// lamps are sampled once more this long after the last lock key input.
inline constexpr int kResampleDelayMs = 15;

// Asks for the keyboard's raw input at `target`, also while other windows have the focus. If the
// system refuses, the lamps follow the poll alone.
void ListenForLockKeys(HWND target);
// Ends the raw input, as the bar goes.
void StopListeningForLockKeys();
// Whether a WM_INPUT's input is a lock key's. Any other key is dropped here: nothing of it is
// kept.
bool IsLockKeyInput(HRAWINPUT input);

}  // namespace oruvel
