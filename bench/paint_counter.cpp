// Loaded into the measured program by two message hooks on its window thread, it counts the
// WM_PAINT messages the thread handles into a counter the bench shares through a named mapping:
// those sent to a window procedure (an immediate redraw, RedrawWindow with RDW_UPDATENOW) through
// WH_CALLWNDPROC, and those taken from the queue (an ordinary repaint) through WH_GETMESSAGE.
// Each WM_PAINT takes one of the two ways. Nothing else of the program is touched.
#include <windows.h>

namespace {

constexpr wchar_t kCounterName[] = L"Local\\OruvelBenchPaintCount";
HANDLE counterMapping = nullptr;
volatile LONG* paintCount = nullptr;

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    CountPaints(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && paintCount &&
        reinterpret_cast<const CWPSTRUCT*>(lParam)->message == WM_PAINT) {
        InterlockedIncrement(paintCount);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    CountQueuedPaints(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && paintCount &&
        reinterpret_cast<const MSG*>(lParam)->message == WM_PAINT) {
        InterlockedIncrement(paintCount);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        counterMapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, kCounterName);
        if (counterMapping) {
            paintCount = static_cast<volatile LONG*>(
                MapViewOfFile(counterMapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
        }
    } else if (reason == DLL_PROCESS_DETACH && counterMapping) {
        if (paintCount) {
            UnmapViewOfFile(const_cast<LONG*>(paintCount));
        }
        CloseHandle(counterMapping);
    }
    return TRUE;
}
