// Measures the live lamps from outside the program and prints the figures; asserts nothing.
// The floor programs are bench/floor_lamp.cpp, started the same way in the same run.
//  - Idle cost over a minute with the bar visible and no key touched: CPU time of the program
//    and of the floor window (GetThreadTimes summed over the threads) and of the wine server
//    (its Linux process, read from /proc), whose share is the difference between a minute
//    without the bar and a minute with it; lamp repaints, seen two ways: changes of the bar's
//    pixels on screen, and, in a further half minute once the CPU figures are taken, WM_PAINT
//    messages handled by the bar's thread (counted by message hooks from paint_counter.dll).
//  - Ordinary typing: the same figures while letter keys are typed into another window.
//  - Key-to-lamp latency: from SendInput of Caps Lock to the Caps lamp's changed pixels on
//    screen, over toggles at random moments, with another window in front and with the bar in
//    front; the same for the floor program's lamp ("floor_lamp.exe lamp").
//  - Resident memory (working set) of the program and of the floor window.
// Usage: lamps_bench.exe [idle seconds, 60] [toggles per case, 200] [letters, 1000]
//                        [program beside the bench, oruvel.exe]
// bench/run passes the wine server's process id in ORUVEL_WINESERVER_PID and the kernel's clock
// ticks per second in ORUVEL_CLK_TCK; without them the wine server's figures are left out.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kCounterName[] = L"Local\\OruvelBenchPaintCount";
constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar", kFloorClass[] = L"OruvelBenchMinimal";

using e2e::Now;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "lamps_bench: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// The Caps lamp in its default colours, in one screen capture; the floor program draws its lamp
// at the same place of its window.
bool CapsLooks(HWND window, bool lit) {
    return e2e::LookOfLamp(window, e2e::LampColumns::Caps) ==
           (lit ? e2e::LampLook::Lit : e2e::LampLook::Unlit);
}

// Every program is started alike: a copy in a folder of its own, shown on screen.
struct Program {
    Program(const wchar_t* exeName, const wchar_t* className, const wchar_t* arguments = L"")
        : folder(exeName), process(folder.exe(), arguments) {
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

// The wine server is a Linux process: its user plus system time comes from /proc/<pid>/stat,
// read through Wine's drive Z:, which is the Linux root.
class WineServerClock {
  public:
    WineServerClock() {
        wchar_t value[32] = {};
        if (GetEnvironmentVariableW(L"ORUVEL_WINESERVER_PID", value, 32)) {
            stat_ = L"Z:\\proc\\" + std::wstring(value) + L"\\stat";
        }
        if (GetEnvironmentVariableW(L"ORUVEL_CLK_TCK", value, 32) && _wtoi(value) > 0) {
            ticksPerSecond_ = _wtoi(value);
        }
        if (known() && Seconds() < 0) {
            stat_.clear();
        }
    }
    bool known() const { return !stat_.empty(); }
    // -1 when the figures cannot be read.
    double Seconds() const {
        const std::string text = e2e::ReadFileBytes(stat_);
        // The fields after the command name, which is in parentheses and may hold spaces:
        // state is the first of them, utime the 12th and stime the 13th.
        const size_t end = text.rfind(')');
        if (end == std::string::npos) {
            return -1;
        }
        std::vector<std::string> fields;
        size_t at = end + 1;
        while (fields.size() < 13) {
            const size_t start = text.find_first_not_of(' ', at);
            if (start == std::string::npos) {
                return -1;
            }
            at = text.find(' ', start);
            fields.push_back(text.substr(start, at - start));
        }
        const double ticks =
            std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
        return ticks / ticksPerSecond_;
    }

  private:
    std::wstring stat_;
    int ticksPerSecond_ = 100;
};

// CPU seconds of the program (if running), the floor window and the wine server.
struct Cpu {
    double program = 0, floor = 0, server = 0;
};

Cpu operator-(Cpu a, Cpu b) {
    return {a.program - b.program, a.floor - b.floor, a.server - b.server};
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

// The message hooks of paint_counter.dll on a window's thread, counting into a shared word.
class PaintCounter {
  public:
    PaintCounter() {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(LONG), kCounterName);
        count_ = static_cast<volatile LONG*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
        dll_ = LoadLibraryW(L"paint_counter.dll");  // beside the bench
        if (!count_ || !dll_) {
            Fail("cannot set up the paint counter (paint_counter.dll beside the bench?)");
        }
    }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    ~PaintCounter() {
        Unhook();
        UnmapViewOfFile(const_cast<LONG*>(count_));
        CloseHandle(mapping_);
    }

    // Hooks the window's thread; true once a repaint asked for from outside has been counted.
    bool Hook(HWND window) {
        const DWORD thread = GetWindowThreadProcessId(window, nullptr);
        sent_ = SetWindowsHookExW(WH_CALLWNDPROC, Proc("CountPaints"), dll_, thread);
        queued_ = SetWindowsHookExW(WH_GETMESSAGE, Proc("CountQueuedPaints"), dll_, thread);
        if (!sent_ || !queued_) {
            Fail("cannot hook the bar's thread");
        }
        Reset();
        InvalidateRect(window, nullptr, FALSE);
        return e2e::WaitFor([&] { return Count() > 0; }, 3s);
    }
    void Unhook() {
        if (sent_) {
            UnhookWindowsHookEx(sent_);
            UnhookWindowsHookEx(queued_);
            sent_ = queued_ = nullptr;
        }
    }
    void Reset() { InterlockedExchange(count_, 0); }
    long Count() const { return *count_; }

  private:
    // Through void*: FARPROC and HOOKPROC differ in their parameters.
    HOOKPROC Proc(const char* name) const {
        return reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    }
    HANDLE mapping_ = nullptr;
    volatile LONG* count_ = nullptr;
    HMODULE dll_ = nullptr;
    HHOOK sent_ = nullptr, queued_ = nullptr;
};

struct Measurer {
    const WineServerClock& server;
    const e2e::Process* program = nullptr;  // null while it is not running
    const e2e::Process* floor = nullptr;
    Cpu Read() const {
        return {program ? ThreadsCpuSeconds(program->id()) : 0,
                floor ? ThreadsCpuSeconds(floor->id()) : 0, server.known() ? server.Seconds() : 0};
    }
};

struct Idle {
    double seconds = 0;
    Cpu cpu;
    int pixelChanges = 0, captures = 0;
};

// Nothing is touched for `seconds`; the window's pixels are captured every 100 ms, the same
// load from the bench whether the bar runs or not.
Idle IdleFor(const Measurer& measure, HWND watched, int seconds) {
    Idle idle;
    const RECT rect = e2e::WindowRect(watched);
    const Cpu before = measure.Read();
    const double start = Now();
    std::vector<uint32_t> last = e2e::ScreenPixels(rect).rgb;
    while (Now() - start < seconds) {
        Sleep(100);
        std::vector<uint32_t> pixels = e2e::ScreenPixels(rect).rgb;
        idle.pixelChanges += pixels != last;
        last = std::move(pixels);
        ++idle.captures;
    }
    idle.seconds = Now() - start;
    idle.cpu = measure.Read() - before;
    return idle;
}

struct Typing {
    double seconds = 0;
    Cpu cpu;
};

// Letter keys a to z in turn, pressed and released, into the bench's own window in front.
Typing TypeLetters(const Measurer& measure, int letters) {
    Typing typing;
    const Cpu before = measure.Read();
    const double start = Now();
    for (int i = 0; i < letters; ++i) {
        e2e::TapKey(static_cast<WORD>('A' + i % 26));
        e2e::PumpMessages();
        Sleep(10);
    }
    e2e::WaitPumping([] { return false; }, 200ms);  // the last keys reach every program
    typing.seconds = Now() - start;
    typing.cpu = measure.Read() - before;
    return typing;
}

struct Latency {
    std::vector<double> ms;
    int missed = 0;
    long paints = 0;
};

// Caps Lock toggled by SendInput; the clock stops at the first screen capture that shows the
// lamp in its new colour. A random pause before each toggle spreads them over every moment of
// the 50 ms poll period.
Latency MeasureLatency(HWND window, int toggles, std::mt19937& random, PaintCounter* paints) {
    Latency latency;
    std::uniform_int_distribution<int> pauseMs(0, 60);
    if (paints) {
        paints->Reset();
    }
    for (int i = 0; i < toggles; ++i) {
        const bool lit = i % 2 == 0;
        Sleep(static_cast<DWORD>(pauseMs(random)));
        const double sent = Now();
        e2e::TapKey(VK_CAPITAL);
        double seen = 0;
        while (Now() - sent < 2.0) {
            if (CapsLooks(window, lit)) {
                seen = Now();
                break;
            }
            e2e::PumpMessages();  // the bench's own window, when it is in front, takes the keys
            Sleep(1);
        }
        if (seen > 0) {
            latency.ms.push_back((seen - sent) * 1000.0);
        } else {
            ++latency.missed;
            e2e::WaitFor([&] { return CapsLooks(window, lit); });
        }
    }
    if (paints) {
        latency.paints = paints->Count();
    }
    return latency;
}

void Foreground(HWND window) {
    SetForegroundWindow(window);
    if (!e2e::WaitPumping([&] { return GetForegroundWindow() == window; })) {
        Fail("a window did not come to the front");
    }
}

double Ms(double seconds) {
    return seconds * 1000;
}

void PrintLatency(const char* what, const Latency& l, int toggles, double floorMedian) {
    if (l.ms.empty()) {
        std::printf("%-44s no toggle was seen on screen (%d missed)\n", what, l.missed);
        return;
    }
    std::printf("%-44s median %5.1f ms  p95 %5.1f ms  max %5.1f ms  (min %.1f; seen %zu of %d)",
                what, Percentile(l.ms, 0.5), Percentile(l.ms, 0.95), Percentile(l.ms, 1.0),
                Percentile(l.ms, 0.0), l.ms.size(), toggles);
    if (floorMedian > 0) {
        std::printf("  median ratio to the floor %.2f", Percentile(l.ms, 0.5) / floorMedian);
    }
    std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int idleSeconds = argc > 1 ? _wtoi(argv[1]) : 60;
    const int toggles = argc > 2 ? _wtoi(argv[2]) : 200;
    const int letters = argc > 3 ? _wtoi(argv[3]) : 1000;
    const std::wstring programName = argc > 4 ? argv[4] : L"oruvel.exe";

    const WineServerClock server;
    PaintCounter paints;
    std::mt19937 random(20240607);
    e2e::AllLocksOff();
    e2e::DriverWindow benchWindow(true, {300, 400});  // "another window", where letters go

    // Without the bar: the floor window alone.
    auto floor = std::make_unique<Program>(L"floor_lamp.exe", kFloorClass);
    Measurer measure{server, nullptr, &floor->process};
    std::printf("idle without the bar: %d s...\n", idleSeconds);
    std::fflush(stdout);
    const Idle idleWithout = IdleFor(measure, floor->window, idleSeconds);
    Foreground(benchWindow.get());
    std::printf("%d letters without the bar...\n", letters);
    std::fflush(stdout);
    const Typing typingWithout = TypeLetters(measure, letters);

    // With the bar. The CPU figures are taken before the paint counter's hooks go in: under
    // Wine every hook call is a request to the wine server, on every message the bar handles.
    auto program = std::make_unique<Program>(programName.c_str(), kBarClass);
    HWND bar = program->window;
    measure.program = &program->process;
    if (!e2e::WaitFor([&] { return CapsLooks(bar, false); })) {
        Fail("the Caps lamp does not show unlit");
    }
    Sleep(2000);  // let start-up settle

    std::printf("idle with the bar: %d s...\n", idleSeconds);
    std::fflush(stdout);
    const Idle idleWith = IdleFor(measure, bar, idleSeconds);
    const auto programMemory = Memory(program->process.handle());
    const auto floorMemory = Memory(floor->process.handle());
    Foreground(benchWindow.get());
    std::printf("%d letters with the bar...\n", letters);
    std::fflush(stdout);
    const Typing typingWith = TypeLetters(measure, letters);

    // The repaints, counted by the hooks: idle again, typing again, then the toggles.
    const bool counterWorks = paints.Hook(bar);
    const int repaintIdleSeconds = (idleSeconds + 1) / 2;
    std::printf("repaints: idle %d s, %d letters...\n", repaintIdleSeconds, letters);
    std::fflush(stdout);
    paints.Reset();
    const Idle idleCounted = IdleFor(measure, bar, repaintIdleSeconds);
    const long idlePaints = paints.Count();
    Foreground(benchWindow.get());
    paints.Reset();
    TypeLetters(measure, letters);
    const long typingPaints = paints.Count();

    std::printf("latency: %d toggles with another window in front, %d with the bar in front...\n",
                toggles, toggles);
    std::fflush(stdout);
    const Latency otherInFront = MeasureLatency(bar, toggles, random, &paints);
    Foreground(bar);
    const Latency barInFront = MeasureLatency(bar, toggles, random, &paints);
    paints.Unhook();
    program.reset();
    floor.reset();
    e2e::AllLocksOff();

    // The floor's lamp: the least program that lights a lamp from the same trigger and poll.
    Say("latency of the floor program's lamp...");
    auto floorLamp = std::make_unique<Program>(L"floor_lamp.exe", kFloorClass, L"lamp");
    if (!e2e::WaitFor([&] { return CapsLooks(floorLamp->window, false); })) {
        Fail("the floor program's lamp does not show unlit");
    }
    Foreground(benchWindow.get());
    const Latency floorOtherInFront = MeasureLatency(floorLamp->window, toggles, random, nullptr);
    Foreground(floorLamp->window);
    const Latency floorInFront = MeasureLatency(floorLamp->window, toggles, random, nullptr);
    floorLamp.reset();
    e2e::AllLocksOff();

    const std::string name(programName.begin(), programName.end());
    std::printf("\n== key-to-lamp latency: SendInput of Caps Lock -> Caps lamp pixels changed\n");
    const double floorOther =
        floorOtherInFront.ms.empty() ? 0 : Percentile(floorOtherInFront.ms, 0.5);
    const double floorFront = floorInFront.ms.empty() ? 0 : Percentile(floorInFront.ms, 0.5);
    PrintLatency((name + ", another window in front").c_str(), otherInFront, toggles, floorOther);
    PrintLatency((name + ", the bar in front").c_str(), barInFront, toggles, floorFront);
    PrintLatency("floor lamp, another window in front", floorOtherInFront, toggles, 0);
    PrintLatency("floor lamp, its window in front", floorInFront, toggles, 0);
    std::vector<double> all = otherInFront.ms;
    all.insert(all.end(), barInFront.ms.begin(), barInFront.ms.end());
    if (!all.empty()) {
        std::printf("%s, all %zu toggles: median %.1f ms  p95 %.1f ms  max %.1f ms\n", name.c_str(),
                    all.size(), Percentile(all, 0.5), Percentile(all, 0.95), Percentile(all, 1.0));
    }
    std::printf(
        "WM_PAINT handled by the bar's thread per toggle: %.2f (another window in front), "
        "%.2f (the bar in front)\n",
        static_cast<double>(otherInFront.paints) / toggles,
        static_cast<double>(barInFront.paints) / toggles);

    const auto cpuLine = [&](const char* what, double seconds, const Cpu& without,
                             const Cpu& with) {
        std::printf("%s, %.0f s: CPU time %s %.0f ms (%.3f %% of a core), floor window %.0f ms",
                    what, seconds, name.c_str(), Ms(with.program), with.program * 100 / seconds,
                    Ms(with.floor));
        if (server.known()) {
            std::printf(
                "; wine server %.0f ms without the bar, %.0f ms with it: the bar's share "
                "%.0f ms",
                Ms(without.server), Ms(with.server), Ms(with.server - without.server));
        } else {
            std::printf("; wine server not measured (run through bench/run)");
        }
        std::printf("\n");
    };
    std::printf("\n== idle, bar visible, no key touched\n");
    cpuLine("idle", idleWith.seconds, idleWithout.cpu, idleWith.cpu);
    std::printf(
        "lamp repaints: changes of the bar's pixels %d in %d captures (every 100 ms); "
        "WM_PAINT handled by the bar's thread %ld%s in a further %.0f s, changes of its "
        "pixels %d in %d captures\n",
        idleWith.pixelChanges, idleWith.captures, idlePaints,
        counterWorks ? "" : " (counter NOT working: its check was not seen)", idleCounted.seconds,
        idleCounted.pixelChanges, idleCounted.captures);

    std::printf("\n== %d letter keys typed into another window\n", letters);
    cpuLine("typing", typingWith.seconds, typingWithout.cpu, typingWith.cpu);
    std::printf(
        "lamp repaints: WM_PAINT handled by the bar's thread %ld (the letters typed once "
        "more); the letters took %.1f s without the bar, %.1f s with it\n",
        typingPaints, typingWithout.seconds, typingWith.seconds);

    std::printf("\n== resident memory after the idle minute\n");
    const double programWs = programMemory.WorkingSetSize / 1024.0;
    const double floorWs = floorMemory.WorkingSetSize / 1024.0;
    std::printf("working set: %s %.0f KiB, floor window %.0f KiB, ratio %.2f\n", name.c_str(),
                programWs, floorWs, floorWs > 0 ? programWs / floorWs : 0.0);
    return 0;
}
