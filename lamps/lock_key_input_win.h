// Raw keyboard input as a trigger of the lamps beside the poll: a lock key's input refreshes
// them at once, without a keyboard hook.
#pragma once

namespace oruvel {

// Asks for the keyboard's raw input at the bar, also while other windows have the focus. If the
// system refuses, the lamps follow the poll alone.
void ListenForLockKeys();

}  // namespace oruvel
