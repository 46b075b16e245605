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

#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;

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

// The Caps lamp in its default colours, in one screen capture.
bool CapsLooksLit(HWND bar) {
    return e2e::LookOfLamp(bar, e2e::LampColumns::Caps) == e2e::LampLook::Lit;
}
bool CapsLooksUnlit(HWND bar) {
    return e2e::LookOfLamp(bar, e2e::LampColumns::Caps) == e2e::LampLook::Unlit;
}

// Both programs are started alike: a copy in a folder of its own, shown on screen.
struct Program {
    explicit Program(const wchar_t* exeName, const wchar_t* className)
        : folder(exeName), process(folder.exe()) {
        if (!e2e::WaitFor([&] { return (window = process.VisibleWindowWithClass(className)); },
                          10s)) {
            Fail("a program showed no window");
        }
    }
    ~Program() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        process.ExitCode();  // waits for the orderly end; the process is killed if it hangs
    }

    e2e::ProgramFolder folder;
    e2e::Process process;  // ended before its folder is removed
    HWND window = nullptr;
};

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

CpuReading Cpu(const e2e::Process& process) {
    return {ProcessCpuSeconds(process.handle()), ThreadsCpuSeconds(process.id())};
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
    HMODULE counterDll = LoadLibraryW(L"paint_counter.dll");  // beside the bench
    if (!paintCount || !counterDll) {
        Fail("cannot set up the paint counter (paint_counter.dll beside the bench?)");
    }
    // Through void*: FARPROC and HOOKPROC differ in their parameters.
    const auto hookProc = [&](const char* name) {
        return reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(counterDll, name)));
    };

    e2e::AllLocksOff();
    auto oruvel = std::make_unique<Program>(L"oruvel.exe", L"OruvelIndicatorBar");
    auto minimal = std::make_unique<Program>(L"minimal_window.exe", L"OruvelBenchMinimal");
    HWND bar = oruvel->window;
    if (!e2e::WaitFor([&] { return CapsLooksUnlit(bar); })) {
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
    const bool counterWorks = e2e::WaitFor([&] { return *paintCount > 0; }, 3s);
    Sleep(2000);  // let start-up settle before the idle minute

    // Idle: nothing touches either program; the bar's pixels are sampled now and then.
    std::printf("idle minute: %d s with the bar visible and no key touched...\n", idleSeconds);
    std::fflush(stdout);
    RECT barRect;
    GetWindowRect(bar, &barRect);
    InterlockedExchange(paintCount, 0);
    const CpuReading oruvelCpu0 = Cpu(oruvel->process);
    const CpuReading minimalCpu0 = Cpu(minimal->process);
    const double benchCpu0 = ProcessCpuSeconds(GetCurrentProcess());
    const double idleStart = Now();
    std::vector<uint32_t> lastPixels = e2e::ScreenPixels(barRect).rgb;
    int pixelChanges = 0, samples = 0;
    while (Now() - idleStart < idleSeconds) {
        Sleep(100);
        std::vector<uint32_t> pixels = e2e::ScreenPixels(barRect).rgb;
        pixelChanges += pixels != lastPixels;
        lastPixels = std::move(pixels);
        ++samples;
    }
    const double idleElapsed = Now() - idleStart;
    const CpuReading oruvelCpu = Cpu(oruvel->process) - oruvelCpu0;
    const CpuReading minimalCpu = Cpu(minimal->process) - minimalCpu0;
    const double benchCpu = ProcessCpuSeconds(GetCurrentProcess()) - benchCpu0;
    const LONG idlePaints = *paintCount;
    const auto oruvelMemory = Memory(oruvel->process.handle());
    const auto minimalMemory = Memory(minimal->process.handle());

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
        e2e::TapKey(VK_CAPITAL);
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
            e2e::WaitFor([&] { return lit ? CapsLooksLit(bar) : CapsLooksUnlit(bar); });
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
    oruvel.reset();
    minimal.reset();
    e2e::AllLocksOff();

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
