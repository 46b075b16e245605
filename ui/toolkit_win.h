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

// Dispatches every message of this thread until `window` is gone. Dialog keys (Tab, Esc) go
// to `window` first. A quit request seen meanwhile is handed on to the main loop.
void RunModalLoop(HWND window);

}  // namespace oruvel
