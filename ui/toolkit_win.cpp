#include "ui/toolkit_win.h"

namespace oruvel {

namespace {
int liveWindows = 0;
bool mainLoopEntered = false;
}  // namespace

void TopLevelWindowCreated() {
    ++liveWindows;
}

void TopLevelWindowDestroyed() {
    if (--liveWindows == 0 && mainLoopEntered) {
        PostQuitMessage(0);
    }
}

int RunMainLoop() {
    mainLoopEntered = true;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void RunModalLoop(HWND window, const bool& open) {
    MSG message;
    while (open) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace oruvel
