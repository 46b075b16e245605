// What the program's windows share: the main loop with its stop rule, and the nested loop
// of a modal window.
#pragma once

#include <windows.h>

namespace oruvel {

// Every top-level window of the program reports its creation and its final destruction;
// when the last one is gone after the main loop has started, the loop is told to stop.
void TopLevelWindowCreated();
void TopLevelWindowDestroyed();

// Runs the main loop until the stop rule fires; returns the exit code.
int RunMainLoop();

// Dispatches every message of this thread while `open` holds: the window's own flag, cleared as
// it is finally destroyed (a handle tested with IsWindow could meanwhile name another window).
// Dialog keys (Tab, Esc) go to `window` first. A quit request seen meanwhile is handed on to the
// main loop.
void RunModalLoop(HWND window, const bool& open);

}  // namespace oruvel
