// Measures the live lamps from outside the program and prints the figures; asserts nothing.
//  - idle cost: CPU time (GetThreadTimes summed over the threads, and GetProcessTimes, which
//    Wine 8 answers with the caller's own times) over an idle minute with the bar visible, beside a
//    minimal window program started the same way, and the lamp repaints in that minute, seen
//    two ways: WM_PAINT messages handled by the bar's window thread (counted by message hooks
//    from paint_counter.dll) and changes of the bar's pixels on screen;
//  - resident memory (working set) of both programs;
//  - key-to-lamp latency: from SendInput of Caps Lock to the Caps lamp's changed pixels on
//    screen, over many toggles sent at random moments of the worker's 50 ms poll period.
// Usage: lamps_bench.exe [idle seconds, default 60] [toggles, default 200]
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kCounterName[] = L"Local\\OruvelBenchPaintCount";

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart / frequency;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "lamps_bench: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

// Screen pixels of a rectangle as 0x00RRGGBB, row by row.
std::vector<uint32_t> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<uint32_t> rgb(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = source[i] & 0xFFFFFF;
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rgb;
}

int PixelsNear(const std::vector<uint32_t>& rgb, uint32_t colour) {
    int count = 0;
    for (uint32_t p : rgb) {
        int distance = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            distance += std::abs(static_cast<int>((p >> shift) & 0xFF) -
                                 static_cast<int>((colour >> shift) & 0xFF));
        }
        count += distance <= 60;
    }
    return count;
}

// The Caps lamp's own columns (40..54, rows 2..19), which no other lamp's text reaches.
RECT CapsColumns(HWND bar) {
    RECT bounds;
    GetWindowRect(bar, &bounds);
    return {bounds.left + 40, bounds.top + 2, bounds.left + 55, bounds.top + 20};
}

bool CapsLooksLit(HWND bar) {
    return PixelsNear(ScreenPixels(CapsColumns(bar)), 0x00FF00) >= 5;
}
bool CapsLooksUnlit(HWND bar) {
    const auto pixels = ScreenPixels(CapsColumns(bar));
    return PixelsNear(pixels, 0x00FF00) == 0 && PixelsNear(pixels, 0xC0C0C0) >= 5;
}

void Key(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

void TapKey(WORD virtualKey) {
    INPUT inputs[2]{};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = virtualKey;
        inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

bool LockIsOn(WORD virtualKey) {
    BYTE keys[256];
    GetKeyState(0);
    GetKeyboardState(keys);
    return keys[virtualKey] & 1;
}

void AllLocksOff() {
    for (WORD key : {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL}) {
        if (GetAsyncKeyState(key) < 0) {
            Key(key, false);
        }
        if (LockIsOn(key)) {
            TapKey(key);
        }
        for (int i = 0; i < 200 && LockIsOn(key); ++i) {
            Sleep(10);
        }
    }
}

template <typename Condition>
bool WaitFor(Condition condition, double seconds) {
    const double deadline = Now() + seconds;
    while (!condition()) {
        if (Now() > deadline) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

struct Program {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;
};

HWND VisibleWindowOf(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD id;
        const wchar_t* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner == s->id && IsWindowVisible(window) && lstrcmpW(name, s->className) == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Both programs are started alike: CreateProcess of a copy in a folder of its own.
Program Start(const std::wstring& exe, const wchar_t* className) {
    Program program;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + exe + L"\"";
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &program.info)) {
        Fail("cannot start a program");
    }
    WaitFor([&] { return (program.window = VisibleWindowOf(program.info.dwProcessId, className)); },
            10.0);
    if (!program.window) {
        Fail("a program showed no window");
    }
    return program;
}

void Stop(Program& program) {
    PostMessageW(program.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program.info.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(program.info.hProcess, 1);
        WaitForSingleObject(program.info.hProcess, 5000);
    }
    CloseHandle(program.info.hThread);
    CloseHandle(program.info.hProcess);
}

double Seconds(FILETIME t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
}

// Kernel plus user time as GetProcessTimes reports it.
double ProcessCpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// Kernel plus user time summed over the process's threads. Wine 8 answers GetProcessTimes for
// another process with the caller's own times, but GetThreadTimes with the thread's own.
double ThreadsCpuSeconds(DWORD processId) {
    double total = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) {
            continue;
        }
        if (HANDLE thread =
                OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            FILETIME created, exited, kernel, user;
            if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
                total += Seconds(kernel) + Seconds(user);
            }
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return total;
}

struct CpuReading {
    double process, threads;
};

CpuReading Cpu(const PROCESS_INFORMATION& info) {
    return {ProcessCpuSeconds(info.hProcess), ThreadsCpuSeconds(info.dwProcessId)};
}

CpuReading operator-(CpuReading a, CpuReading b) {
    return {a.process - b.process, a.threads - b.threads};
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(process, &counters, sizeof counters);
    return counters;
}

std::wstring CopyToOwnFolder(const std::wstring& exeName, const std::wstring& tag) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"oruvel-bench-" + std::to_wstring(GetCurrentProcessId()) + tag;
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring target = folder + L"\\" + exeName;
    if (!CopyFileW((OwnFolder() + L"\\" + exeName).c_str(), target.c_str(), FALSE)) {
        Fail("cannot copy a program to its folder");
    }
    return target;
}

void RemoveCopy(const std::wstring& exe) {
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    DeleteFileW(exe.c_str());
    DeleteFileW((folder + L"\\config.ini").c_str());
    RemoveDirectoryW(folder.c_str());
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(p * (values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int idleSeconds = argc > 1 ? _wtoi(argv[1]) : 60;
    const int toggles = argc > 2 ? _wtoi(argv[2]) : 200;

    // The hook DLL counts into this; it opens it by name inside the measured program.
    HANDLE counterMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               sizeof(LONG), kCounterName);
    auto* paintCount =
        static_cast<volatile LONG*>(MapViewOfFile(counterMapping, FILE_MAP_WRITE, 0, 0, 0));
    HMODULE counterDll = LoadLibraryW((OwnFolder() + L"\\paint_counter.dll").c_str());
    if (!paintCount || !counterDll) {
        Fail("cannot set up the paint counter (paint_counter.dll beside the bench?)");
    }
    // Through void*: FARPROC and HOOKPROC differ in their parameters.
    const auto hookProc = [&](const char* name) {
        return reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(counterDll, name)));
    };

    AllLocksOff();
    const std::wstring oruvelExe = CopyToOwnFolder(L"oruvel.exe", L"-oruvel");
    const std::wstring minimalExe = CopyToOwnFolder(L"minimal_window.exe", L"-minimal");
    Program oruvel = Start(oruvelExe, L"OruvelIndicatorBar");
    Program minimal = Start(minimalExe, L"OruvelBenchMinimal");
    HWND bar = oruvel.window;
    if (!WaitFor([&] { return CapsLooksUnlit(bar); }, 5.0)) {
        Fail("the Caps lamp does not show unlit");
    }

    const DWORD barThread = GetWindowThreadProcessId(bar, nullptr);
    HHOOK sentHook =
        SetWindowsHookExW(WH_CALLWNDPROC, hookProc("CountPaints"), counterDll, barThread);
    HHOOK queuedHook =
        SetWindowsHookExW(WH_GETMESSAGE, hookProc("CountQueuedPaints"), counterDll, barThread);
    if (!sentHook || !queuedHook) {
        Fail("cannot hook the bar's thread");
    }
    // The instrument's own check: a repaint asked for from outside must be counted.
    InterlockedExchange(paintCount, 0);
    InvalidateRect(bar, nullptr, FALSE);
    const bool counterWorks = WaitFor([&] { return *paintCount > 0; }, 3.0);
    Sleep(2000);  // let start-up settle before the idle minute

    // Idle: nothing touches either program; the bar's pixels are sampled now and then.
    std::printf("idle minute: %d s with the bar visible and no key touched...\n", idleSeconds);
    std::fflush(stdout);
    RECT barRect;
    GetWindowRect(bar, &barRect);
    InterlockedExchange(paintCount, 0);
    const CpuReading oruvelCpu0 = Cpu(oruvel.info);
    const CpuReading minimalCpu0 = Cpu(minimal.info);
    const double benchCpu0 = ProcessCpuSeconds(GetCurrentProcess());
    const double idleStart = Now();
    std::vector<uint32_t> lastPixels = ScreenPixels(barRect);
    int pixelChanges = 0, samples = 0;
    while (Now() - idleStart < idleSeconds) {
        Sleep(100);
        std::vector<uint32_t> pixels = ScreenPixels(barRect);
        pixelChanges += pixels != lastPixels;
        lastPixels = std::move(pixels);
        ++samples;
    }
    const double idleElapsed = Now() - idleStart;
    const CpuReading oruvelCpu = Cpu(oruvel.info) - oruvelCpu0;
    const CpuReading minimalCpu = Cpu(minimal.info) - minimalCpu0;
    const double benchCpu = ProcessCpuSeconds(GetCurrentProcess()) - benchCpu0;
    const LONG idlePaints = *paintCount;
    const auto oruvelMemory = Memory(oruvel.info.hProcess);
    const auto minimalMemory = Memory(minimal.info.hProcess);

    // Latency: Caps Lock toggled by SendInput; the clock stops at the first screen capture that
    // shows the Caps lamp in its new colour. A toggle sent right after the last change was seen
    // would fall at the same moment of every poll period; a random pause spreads them over it.
    std::printf("latency: %d toggles of Caps Lock...\n", toggles);
    std::fflush(stdout);
    std::vector<double> latencies;
    int missed = 0;
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> pauseMs(0, 60);
    InterlockedExchange(paintCount, 0);
    for (int i = 0; i < toggles; ++i) {
        const bool lit = i % 2 == 0;
        Sleep(static_cast<DWORD>(pauseMs(random)));
        const double sent = Now();
        TapKey(VK_CAPITAL);
        double seen = 0;
        for (;;) {
            if (lit ? CapsLooksLit(bar) : CapsLooksUnlit(bar)) {
                seen = Now();
                break;
            }
            if (Now() - sent > 2.0) {
                break;
            }
            Sleep(1);
        }
        if (seen > 0) {
            latencies.push_back((seen - sent) * 1000.0);
        } else {
            ++missed;
            WaitFor([&] { return lit ? CapsLooksLit(bar) : CapsLooksUnlit(bar); }, 5.0);
        }
    }
    const LONG togglePaints = *paintCount;
    // The capture's own cost bounds the resolution of each latency figure.
    const double captureStart = Now();
    for (int i = 0; i < 50; ++i) {
        CapsLooksLit(bar);
    }
    const double captureMs = (Now() - captureStart) * 1000.0 / 50;

    UnhookWindowsHookEx(sentHook);
    UnhookWindowsHookEx(queuedHook);
    Stop(oruvel);
    Stop(minimal);
    AllLocksOff();
    RemoveCopy(oruvelExe);
    RemoveCopy(minimalExe);

    std::printf("\n== key-to-lamp latency (SendInput of Caps Lock -> Caps lamp pixels changed)\n");
    if (latencies.empty()) {
        std::printf("no toggle was seen on screen (%d missed)\n", missed);
    } else {
        std::printf("toggles seen: %zu of %d (missed within 2 s: %d)\n", latencies.size(), toggles,
                    missed);
        std::printf("median %.1f ms   p95 %.1f ms   max %.1f ms   (min %.1f ms)\n",
                    Percentile(latencies, 0.5), Percentile(latencies, 0.95),
                    Percentile(latencies, 1.0), Percentile(latencies, 0.0));
        std::printf("one screen capture of the lamp costs %.2f ms (+1 ms sleep between captures)\n",
                    captureMs);
        std::printf(
            "WM_PAINT handled by the bar's thread during the toggles: %ld (%.2f per "
            "toggle)\n",
            static_cast<long>(togglePaints), static_cast<double>(togglePaints) / toggles);
    }

    std::printf("\n== idle, %.0f s, bar visible, no key touched\n", idleElapsed);
    std::printf(
        "CPU time, summed over the threads (GetThreadTimes): oruvel %.0f ms, minimal "
        "window %.0f ms",
        oruvelCpu.threads * 1000, minimalCpu.threads * 1000);
    if (minimalCpu.threads > 0) {
        std::printf(", ratio %.2f\n", oruvelCpu.threads / minimalCpu.threads);
    } else {
        std::printf(", ratio n/a (the minimal window used no measurable CPU time)\n");
    }
    std::printf("CPU share of one core: oruvel %.3f %%, minimal window %.3f %%\n",
                oruvelCpu.threads * 100 / idleElapsed, minimalCpu.threads * 100 / idleElapsed);
    // Printed beside the bench's own figure, which Wine 8 gives for any process asked about.
    std::printf(
        "GetProcessTimes: oruvel %.0f ms, minimal window %.0f ms; of this bench itself "
        "%.0f ms\n",
        oruvelCpu.process * 1000, minimalCpu.process * 1000, benchCpu * 1000);
    std::printf(
        "lamp repaints: WM_PAINT handled by the bar's thread %ld%s; changes of the "
        "bar's pixels %d in %d captures (every 100 ms)\n",
        static_cast<long>(idlePaints),
        counterWorks ? "" : " (counter NOT working: its check repaint was not seen)", pixelChanges,
        samples);

    std::printf("\n== resident memory after the idle minute\n");
    const double oruvelWs = oruvelMemory.WorkingSetSize / 1024.0;
    const double minimalWs = minimalMemory.WorkingSetSize / 1024.0;
    std::printf("working set: oruvel %.0f KiB, minimal window %.0f KiB, ratio %.2f\n", oruvelWs,
                minimalWs, minimalWs > 0 ? oruvelWs / minimalWs : 0.0);
    std::printf("peak working set: oruvel %.0f KiB, minimal window %.0f KiB\n",
                oruvelMemory.PeakWorkingSetSize / 1024.0,
                minimalMemory.PeakWorkingSetSize / 1024.0);

    UnmapViewOfFile(const_cast<LONG*>(paintCount));
    CloseHandle(counterMapping);
    return 0;
}
