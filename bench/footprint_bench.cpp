// What oruvel.exe costs to have running, beside the floor program minimal_window.exe (a window,
// three text lamps, a tray icon, a 50 ms poll), both started the same way: a copy in a folder of
// its own, started with CreateProcess. Prints the figures and their ratios; asserts nothing.
//  - start-up: from CreateProcess to the bar shown, that is its window visible and its three
//    lamps painted on screen; several starts of each, alternating, and their medians;
//  - memory: private memory and the resident set, 2 s after each of those starts; after an
//    idle minute of both programs side by side; and, for oruvel, after the settings window
//    and the colour dialog have been opened and closed once, then after ten times more.
// Private memory under Wine: every Windows process is a Linux process, and its private memory
// is its resident anonymous memory, RssAnon in /proc/<pid>/status (VmRSS is the resident set),
// read through Wine's drive Z:. The Linux pid is the one whose /proc/<pid>/cmdline starts with
// the path of the process's exe, which Wine puts there as its first argument; every copy is in a
// folder of its own. On Windows: PrivateUsage and WorkingSetSize.
// Usage: footprint_bench.exe [idle seconds, default 60] [starts of each program, default 10]
//                            [times the settings window is opened after the first, default 10]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar";
constexpr wchar_t kMinimalClass[] = L"OruvelBenchMinimal";
constexpr wchar_t kSettingsClass[] = L"OruvelSettingsWindow";
constexpr wchar_t kMenuClass[] = L"#32768";
constexpr wchar_t kDialogClass[] = L"#32770";

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "footprint_bench: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

using e2e::Now;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A whole file read to its end: files under /proc report no size.
std::string ReadWhole(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

struct Memory {
    double privateKiB = 0;
    double residentKiB = 0;
};

// Memory readings of one process, through Linux's /proc under Wine, or Windows' own counters.
class MemoryProbe {
  public:
    explicit MemoryProbe(const e2e::Process& process, const std::wstring& exe) : process_(process) {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
            return;  // Windows
        }
        // Wine gives a process that CreateProcess started its exe's Windows path as argv[0],
        // in UTF-8.
        std::string commandName(exe.size() * 3, '\0');
        commandName.resize(WideCharToMultiByte(
            CP_UTF8, 0, exe.data(), static_cast<int>(exe.size()), commandName.data(),
            static_cast<int>(commandName.size()), nullptr, nullptr));
        if (!e2e::WaitFor([&] { return !(statusPath_ = FindLinuxStatus(commandName)).empty(); },
                          5s)) {
            Fail("no Linux process runs this exe (is / mapped as drive Z:?)");
        }
    }

    Memory Read() const {
        if (statusPath_.empty()) {
            PROCESS_MEMORY_COUNTERS_EX counters{};
            counters.cb = sizeof counters;
            K32GetProcessMemoryInfo(process_.handle(),
                                    reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                    sizeof counters);
            return {counters.PrivateUsage / 1024.0, counters.WorkingSetSize / 1024.0};
        }
        const std::string status = ReadWhole(statusPath_);
        return {StatusKiB(status, "RssAnon:"), StatusKiB(status, "VmRSS:")};
    }

  private:
    static std::wstring FindLinuxStatus(const std::string& commandName) {
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
        if (search == INVALID_HANDLE_VALUE) {
            return {};
        }
        std::wstring found;
        do {
            const std::wstring name = entry.cFileName;
            if (name.find_first_not_of(L"0123456789") != std::wstring::npos) {
                continue;
            }
            const std::wstring dir = L"Z:\\proc\\" + name;
            const std::string commandLine = ReadWhole(dir + L"\\cmdline");
            // The first argument, up to its terminating zero.
            if (commandLine.c_str() == commandName) {
                found = dir + L"\\status";
                break;
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
        return found;
    }

    static double StatusKiB(const std::string& status, const char* field) {
        const size_t at = status.find(field);
        if (at == std::string::npos) {
            Fail("/proc/<pid>/status lacks a field");
        }
        return std::strtod(status.c_str() + at + std::strlen(field), nullptr);  // "  7620 kB"
    }

    const e2e::Process& process_;
    std::wstring statusPath_;
};

// Shown means on screen, as a user sees it: the window visible and all three lamps painted,
// lit or unlit (the floor program draws its lamps in the bar's places and colours).
bool LampsShown(HWND window) {
    for (auto lamp : {e2e::LampColumns::Num, e2e::LampColumns::Caps, e2e::LampColumns::Scroll}) {
        if (e2e::LookOfLamp(window, lamp) == e2e::LampLook::Unclear) {
            return false;
        }
    }
    return true;
}

// One running copy of a program, from CreateProcess to its window shown.
struct Run {
    Run(const wchar_t* exeName, const wchar_t* className)
        : folder(exeName), started(Now()), process(folder.exe()) {
        const double deadline = started + 20;
        while (!(window = process.VisibleWindowWithClass(className)) || !LampsShown(window)) {
            if (Now() > deadline) {
                Fail("a program did not show its window with its lamps");
            }
            Sleep(1);
        }
        startUpSeconds = Now() - started;
        memory = std::make_unique<MemoryProbe>(process, folder.exe());
    }
    ~Run() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        process.ExitCode();  // the orderly end; the process is killed if it hangs
    }

    e2e::ProgramFolder folder;
    double started;
    e2e::Process process;  // ended before its folder is removed
    HWND window = nullptr;
    double startUpSeconds = 0;
    std::unique_ptr<MemoryProbe> memory;
};

// Opens the settings window from the bar's menu, the colour dialog from its swatch, and closes
// both again, each step waited for on screen.
void OpenAndCloseSettings(const Run& oruvel) {
    const RECT bar = e2e::WindowRect(oruvel.window);
    e2e::Click(bar.left + 50, bar.top + 11, true);
    if (!e2e::WaitFor([&] { return oruvel.process.VisibleWindowWithClass(kMenuClass); })) {
        Fail("the bar's menu did not open");
    }
    e2e::TapKey(VK_DOWN);  // 设置
    e2e::TapKey(VK_RETURN);
    HWND settings = nullptr;
    if (!e2e::WaitFor(
            [&] { return (settings = oruvel.process.VisibleWindowWithClass(kSettingsClass)); })) {
        Fail("the settings window did not open");
    }
    HWND swatch = nullptr;
    EnumChildWindows(
        settings,
        [](HWND child, LPARAM found) -> BOOL {
            if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                *reinterpret_cast<HWND*>(found) = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&swatch));
    if (!swatch) {
        Fail("the settings window has no colour swatch");
    }
    PostMessageW(swatch, BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    if (!e2e::WaitFor(
            [&] { return (dialog = oruvel.process.VisibleWindowWithClass(kDialogClass)); })) {
        Fail("the colour dialog did not open");
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (!e2e::WaitFor([&] { return !IsWindow(dialog); })) {
        Fail("the colour dialog did not close");
    }
    PostMessageW(settings, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!e2e::WaitFor([&] { return !IsWindow(settings); })) {
        Fail("the settings window did not close");
    }
}

struct Program {
    const wchar_t* exe;
    const wchar_t* windowClass;
    const char* name;
};
constexpr Program kOruvel{L"oruvel.exe", kBarClass, "oruvel.exe"};
// The floor polls on a worker thread, as the bar does; the timer floor on its window's thread.
constexpr Program kFloors[] = {
    {L"minimal_window.exe", kMinimalClass, "minimal (poll thread)"},
    {L"minimal_window_timer.exe", kMinimalClass, "minimal (poll timer)"},
};

void PrintRatioRow(const char* what, double oruvel, double floor0, double floor1,
                   const char* unit) {
    std::printf("| %s | %.0f %s | %.0f %s (%.2f) | %.0f %s (%.2f) |\n", what, oruvel, unit, floor0,
                unit, oruvel / floor0, floor1, unit, oruvel / floor1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int idleSeconds = argc > 1 ? _wtoi(argv[1]) : 60;
    const int starts = argc > 2 ? std::max(1, _wtoi(argv[2])) : 10;
    const int cycles = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;
    e2e::AllLocksOff();
    const Program programs[] = {kOruvel, kFloors[0], kFloors[1]};

    // Start-up, and memory 2 s after it, over alternating starts.
    std::vector<double> startUp[3], privateKiB[3], residentKiB[3];
    for (int i = 0; i < starts; ++i) {
        for (int which = 0; which < 3; ++which) {
            Run run(programs[which].exe, programs[which].windowClass);
            Sleep(2000);
            const Memory memory = run.memory->Read();
            startUp[which].push_back(run.startUpSeconds * 1000);
            privateKiB[which].push_back(memory.privateKiB);
            residentKiB[which].push_back(memory.residentKiB);
        }
    }

    // The idle minute, all side by side; then oruvel's settings window and colour dialog.
    std::printf("idle minute: %d s with all three programs shown and no key touched...\n",
                idleSeconds);
    std::fflush(stdout);
    Memory idle[3], firstOpen, tenMore, lowest, highest;
    {
        Run oruvel(kOruvel.exe, kOruvel.windowClass);
        Run floor0(kFloors[0].exe, kFloors[0].windowClass);
        Run floor1(kFloors[1].exe, kFloors[1].windowClass);
        Sleep(static_cast<DWORD>(idleSeconds) * 1000);
        idle[0] = oruvel.memory->Read();
        idle[1] = floor0.memory->Read();
        idle[2] = floor1.memory->Read();

        OpenAndCloseSettings(oruvel);
        Sleep(1000);
        firstOpen = lowest = highest = oruvel.memory->Read();
        std::string privateSeries = std::to_string(std::lround(firstOpen.privateKiB));
        std::string residentSeries = std::to_string(std::lround(firstOpen.residentKiB));
        for (int i = 0; i < cycles; ++i) {
            OpenAndCloseSettings(oruvel);
            Sleep(1000);
            tenMore = oruvel.memory->Read();
            privateSeries.push_back(' ');
            privateSeries += std::to_string(std::lround(tenMore.privateKiB));
            residentSeries.push_back(' ');
            residentSeries += std::to_string(std::lround(tenMore.residentKiB));
            lowest.privateKiB = std::min(lowest.privateKiB, tenMore.privateKiB);
            highest.privateKiB = std::max(highest.privateKiB, tenMore.privateKiB);
            lowest.residentKiB = std::min(lowest.residentKiB, tenMore.residentKiB);
            highest.residentKiB = std::max(highest.residentKiB, tenMore.residentKiB);
        }
        std::printf(
            "oruvel after each opening of the settings window, KiB:\nprivate: %s\n"
            "resident: %s\n",
            privateSeries.c_str(), residentSeries.c_str());
    }

    std::printf("\n## Start-up: CreateProcess to the bar shown (%d starts each, alternating)\n\n",
                starts);
    std::printf("| | oruvel.exe | %s (ratio) | %s (ratio) |\n| --- | --- | --- | --- |\n",
                kFloors[0].name, kFloors[1].name);
    PrintRatioRow("median", Median(startUp[0]), Median(startUp[1]), Median(startUp[2]), "ms");
    const auto fastest = [&](int which) {
        return *std::min_element(startUp[which].begin(), startUp[which].end());
    };
    const auto slowest = [&](int which) {
        return *std::max_element(startUp[which].begin(), startUp[which].end());
    };
    PrintRatioRow("fastest", fastest(0), fastest(1), fastest(2), "ms");
    PrintRatioRow("slowest", slowest(0), slowest(1), slowest(2), "ms");

    std::printf("\n## Memory: private (resident anonymous) and resident set\n\n");
    std::printf("| | oruvel.exe | %s (ratio) | %s (ratio) |\n| --- | --- | --- | --- |\n",
                kFloors[0].name, kFloors[1].name);
    PrintRatioRow("private, 2 s after start (median)", Median(privateKiB[0]), Median(privateKiB[1]),
                  Median(privateKiB[2]), "KiB");
    PrintRatioRow("private, after the idle minute", idle[0].privateKiB, idle[1].privateKiB,
                  idle[2].privateKiB, "KiB");
    PrintRatioRow("resident, 2 s after start (median)", Median(residentKiB[0]),
                  Median(residentKiB[1]), Median(residentKiB[2]), "KiB");
    PrintRatioRow("resident, after the idle minute", idle[0].residentKiB, idle[1].residentKiB,
                  idle[2].residentKiB, "KiB");

    std::printf("\n## oruvel.exe: the settings window and the colour dialog opened and closed\n\n");
    std::printf("| | private | resident |\n| --- | --- | --- |\n");
    std::printf("| before (after the idle minute) | %.0f KiB | %.0f KiB |\n", idle[0].privateKiB,
                idle[0].residentKiB);
    std::printf("| after the first time | %.0f KiB | %.0f KiB |\n", firstOpen.privateKiB,
                firstOpen.residentKiB);
    std::printf("| after %d more | %.0f KiB (%+.0f) | %.0f KiB (%+.0f) |\n", cycles,
                tenMore.privateKiB, tenMore.privateKiB - firstOpen.privateKiB, tenMore.residentKiB,
                tenMore.residentKiB - firstOpen.residentKiB);
    std::printf("| lowest to highest over those | %.0f to %.0f KiB | %.0f to %.0f KiB |\n",
                lowest.privateKiB, highest.privateKiB, lowest.residentKiB, highest.residentKiB);
    return 0;
}
