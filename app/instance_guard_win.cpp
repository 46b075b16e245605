#include "app/instance_guard_win.h"

#include <windows.h>

#include <cstdint>

#include "base/handles_win.h"
#include "ui/indicator_bar_win.h"

namespace oruvel {

namespace {

// The instance mapping: 4 bytes holding the first instance's bar window handle. No namespace
// prefix, so it is seen only within this logon.
constexpr char kMappingName[] = "G.Oruvel";
constexpr DWORD kMappingSize = 4;

// The first instance holds these until it ends; the name is freed with them.
UniqueHandle instanceMapping;
UniqueMapView instanceView;

// Brings back the bar whose handle the running instance left in `mapping`, then ends this
// process. A mapping that cannot be read, or still holds zeros, restores nothing.
[[noreturn]] void BringBackRunningBar(HANDLE mapping) {
    if (UniqueMapView view{MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)}) {
        int32_t runningBar = 0;
        RtlMoveMemory(&runningBar, view.get(), sizeof runningBar);
        view.reset();
        // Window handles carry 32 significant bits; widening them sign-extends, as
        // LongToHandle does.
        HWND bar = reinterpret_cast<HWND>(static_cast<intptr_t>(runningBar));
        ShowWindow(bar, SW_RESTORE);
        // SW_RESTORE leaves a bar that is already visible and normal-sized as it is,
        // inactive included; a process the user has just started may hand it the foreground.
        SetForegroundWindow(bar);
    }
    EndProgramNow(0);
}

}  // namespace

void InstanceGuard() {
    if (UniqueHandle existing{OpenFileMappingA(FILE_MAP_READ, FALSE, kMappingName)}) {
        BringBackRunningBar(existing.get());
    }

    instanceMapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             kMappingSize, kMappingName));
    if (!instanceMapping) {
        return;  // no guard this run
    }
    // Two starts at the same moment can both miss the open; the later create then opens the
    // mapping the other one made. Counting that as a create would leave two bars running.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        BringBackRunningBar(instanceMapping.get());
    }
    instanceView.reset(MapViewOfFile(instanceMapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (instanceView) {
        const auto ownBar =
            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(indicatorBar.window()));
        RtlMoveMemory(instanceView.get(), &ownBar, sizeof ownBar);  // little-endian
    }
}

void EndProgramNow(unsigned exitCode) {
    // Not ExitProcess: that would still run the C++ runtime's exit handlers.
    TerminateProcess(GetCurrentProcess(), exitCode);
    ExitProcess(exitCode);  // not reached
}

}  // namespace oruvel
