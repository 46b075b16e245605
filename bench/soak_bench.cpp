// Soaks the real oruvel.exe from outside and prints what it holds before and after; asserts
// nothing. In this order: lock toggles (SendInput of Caps, Num and Scroll Lock in turn), hide and
// show cycles through the tray notification, openings and closings of the settings window (some
// with the colour dialog opened and cancelled), pop-up menus opened and dismissed. Before, between
// and after the phases it reports what Windows offers for it: the handle count
// (GetProcessHandleCount, and its entries in the system's handle list), the GDI and USER object
// counts (GetGuiResources), the private bytes and working set (K32GetProcessMemoryInfo), the
// windows (top-level and child) and the threads. Wine 8 answers some of these with 0, so under
// Wine the Linux process's own figures are reported too: its private resident memory (RssAnon)
// and its open file descriptors, from /proc. The same figures of a minimal window program started
// the same way give the floor. Expected: flat.
//
// Usage: soak_bench.exe [toggles 10000] [tray cycles 1000] [settings windows 300]
//        [of them with the colour dialog 50] [menus 300] [ms between toggles 17]
#include <windows.h>
#include <psapi.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;

using e2e::kMenuClass;
using e2e::kSettingsClass;
using e2e::kTrayCallback;
constexpr WPARAM kTrayIconId = 100;
constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar";

using e2e::Now;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "soak_bench: %s (error %lu)\n", what, GetLastError());
    std::exit(1);
}

// ---- What a process holds ----

struct Figures {
    long long handles = 0;
    long long handlesListed = 0;
    long long gdiObjects = 0, userObjects = 0;
    long long privateKiB = 0, workingSetKiB = 0;
    long long windows = 0;
    long long threads = 0;
    long long unixPrivateKiB = -1;  // RssAnon of the Linux process; -1 when not under Wine
    long long unixDescriptors = -1;
};

int CountThreads(DWORD processId) {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == processId;
    }
    CloseHandle(snapshot);
    return count;
}

int CountWindows(const e2e::Process& process) {
    int count = 0;
    for (HWND window : process.Windows()) {
        ++count;
        EnumChildWindows(
            window,
            [](HWND, LPARAM param) -> BOOL {
                ++*reinterpret_cast<int*>(param);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

// The process's handles in the system's list of all handles (NtQuerySystemInformation), which
// Wine keeps although its GetProcessHandleCount gives 0.
long long ListedHandles(DWORD processId) {
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<char> buffer(1 << 20);
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), nullptr)) ==
           kLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) {
        return -1;
    }
    const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    long long count = 0;
    for (ULONG i = 0; i < list->Count; ++i) {
        count += list->Handle[i].OwnerPid == processId;
    }
    return count;
}

// The entries of a folder, "." and ".." left out.
std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (lstrcmpW(entry.cFileName, L".") != 0 && lstrcmpW(entry.cFileName, L"..") != 0) {
            names.push_back(entry.cFileName);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// Under Wine, the /proc folder (as a Wine path: Z: is the Unix root) of the Linux process that
// runs `exe` in this Wine prefix: its command line is the exe's Windows path, which Wine sets, and
// its WINEPREFIX is ours (other prefixes may run a program of the same path). Empty elsewhere.
std::wstring UnixProcessFolder(const std::wstring& exe) {
    const std::string wanted(exe.begin(), exe.end());  // the test folders' paths are ASCII
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    const std::string ourPrefix = std::string("WINEPREFIX=") + prefix + '\0';
    for (const std::wstring& name : FolderEntries(L"Z:\\proc")) {
        if (name.find_first_not_of(L"0123456789") != std::wstring::npos) {
            continue;
        }
        const std::wstring folder = L"Z:\\proc\\" + name;
        const std::string commandLine = e2e::ReadFileBytes(folder + L"\\cmdline");
        if (commandLine.substr(0, commandLine.find('\0')) == wanted &&
            ('\0' + e2e::ReadFileBytes(folder + L"\\environ")).find('\0' + ourPrefix) !=
                std::string::npos) {
            return folder;
        }
    }
    return {};
}

// The number of a "Name:   value kB" line of /proc/<pid>/status, or -1.
long long StatusKiB(const std::string& status, const char* name) {
    const size_t at = status.find(std::string("\n") + name + ":");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + std::strlen(name) + 2);
}

Figures Measure(const e2e::Process& process, const std::wstring& unixFolder) {
    Figures f;
    DWORD handles = 0;
    GetProcessHandleCount(process.handle(), &handles);
    f.handles = handles;
    f.handlesListed = ListedHandles(process.id());
    f.gdiObjects = GetGuiResources(process.handle(), GR_GDIOBJECTS);
    f.userObjects = GetGuiResources(process.handle(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    K32GetProcessMemoryInfo(process.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory);
    f.privateKiB = static_cast<long long>(memory.PrivateUsage / 1024);
    f.workingSetKiB = static_cast<long long>(memory.WorkingSetSize / 1024);
    f.windows = CountWindows(process);
    f.threads = CountThreads(process.id());
    if (!unixFolder.empty()) {
        f.unixPrivateKiB = StatusKiB(e2e::ReadFileBytes(unixFolder + L"\\status"), "RssAnon");
        f.unixDescriptors = static_cast<long long>(FolderEntries(unixFolder + L"\\fd").size());
    }
    return f;
}

// The figures in the order of the table's columns.
std::vector<long long> Columns(const Figures& f) {
    return {f.handles,       f.handlesListed, f.gdiObjects, f.userObjects,    f.privateKiB,
            f.workingSetKiB, f.windows,       f.threads,    f.unixPrivateKiB, f.unixDescriptors};
}

// The columns: the name of each on two lines and its width; the Linux figures are set apart.
struct Column {
    const char* top;
    const char* bottom;
    int width;
};
constexpr Column kColumns[] = {
    {"handles", "count", 7}, {"handles", "listed", 7},  {"GDI", "", 5},     {"USER", "", 5},
    {"private", "KiB", 8},   {"working", "set KiB", 9}, {"windows", "", 7}, {"threads", "", 7},
    {"Linux", "RssAnon", 9}, {"Linux", "fds", 6},
};
constexpr size_t kFirstLinuxColumn = 8;

void PrintHeader() {
    for (const bool top : {true, false}) {
        std::printf("%-44s", "");
        for (size_t i = 0; i < std::size(kColumns); ++i) {
            std::printf(i == kFirstLinuxColumn ? " | %*s" : " %*s", kColumns[i].width,
                        top ? kColumns[i].top : kColumns[i].bottom);
        }
        std::printf(top ? " | seconds\n" : " |\n");
    }
}

void PrintRow(const std::string& what, const std::vector<long long>& values, double seconds = -1) {
    std::printf("%-44s", what.c_str());
    for (size_t i = 0; i < values.size(); ++i) {
        std::printf(i == kFirstLinuxColumn ? " | %*lld" : " %*lld", kColumns[i].width, values[i]);
    }
    std::printf(" |");
    if (seconds >= 0) {
        std::printf(" %7.1f", seconds);
    }
    std::printf("\n");
}

// A copy of a program in a folder of its own, shown on screen, closed at the end.
struct Program {
    Program(const wchar_t* exeName, const wchar_t* className)
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
    e2e::Process process;
    HWND window = nullptr;
};

// The phases. Each counts what did not happen as asked within its deadline.

int ToggleLocks(int toggles, int pauseMs) {
    constexpr WORD kLocks[] = {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
    for (int i = 0; i < toggles; ++i) {
        e2e::TapKey(kLocks[i % 3]);
        Sleep(pauseMs);
    }
    e2e::AllLocksOff();
    return 0;
}

int HideAndShow(HWND bar, int cycles) {
    int missed = 0;
    for (int i = 0; i < cycles; ++i) {
        for (const bool visible : {false, true}) {
            PostMessageW(bar, kTrayCallback, kTrayIconId, WM_LBUTTONDBLCLK);
            missed += !e2e::WaitFor([&] { return (IsWindowVisible(bar) != 0) == visible; }, 5s);
        }
    }
    return missed;
}

HWND OpenMenu(const e2e::Process& program, HWND bar) {
    PostMessageW(bar, kTrayCallback, kTrayIconId, WM_RBUTTONUP);
    HWND menu = nullptr;
    e2e::WaitFor([&] { return (menu = program.VisibleWindowWithClass(kMenuClass)) != nullptr; },
                 5s);
    return menu;
}

int OpenAndDismissMenus(const e2e::Process& program, HWND bar, int menus) {
    int missed = 0;
    for (int i = 0; i < menus; ++i) {
        HWND menu = OpenMenu(program, bar);
        if (!menu) {
            ++missed;
            continue;
        }
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        missed += !e2e::WaitFor(
            [&] { return program.VisibleWindowWithClass(kMenuClass) == nullptr; }, 5s);
    }
    return missed;
}

// Opens the colour dialog from the settings window's swatch and cancels it.
bool OpenAndCancelColourDialog(const e2e::Process& program, HWND window) {
    HWND swatch = nullptr;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                *reinterpret_cast<HWND*>(param) = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&swatch));
    if (!swatch) {
        return false;
    }
    const RECT r = e2e::WindowRect(swatch);
    e2e::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    HWND dialog = nullptr;
    if (!e2e::WaitFor(
            [&] { return (dialog = program.VisibleWindowWithClass(L"#32770")) != nullptr; }, 5s)) {
        return false;
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return e2e::WaitFor([&] { return !IsWindow(dialog); }, 5s);
}

int OpenAndCloseSettings(const e2e::Process& program, HWND bar, int windows, int withColour) {
    int missed = 0;
    const int colourEvery = withColour > 0 ? windows / withColour : 0;
    for (int i = 0; i < windows; ++i) {
        HWND menu = OpenMenu(program, bar);
        if (!menu) {
            ++missed;
            continue;
        }
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);  // 设置, the first item
        PostMessageW(menu, WM_CHAR, '\r', 0);
        HWND window = nullptr;
        if (!e2e::WaitFor(
                [&] {
                    return (window = program.VisibleWindowWithClass(kSettingsClass)) != nullptr;
                },
                5s)) {
            ++missed;
            continue;
        }
        if (colourEvery > 0 && i % colourEvery == 0 && i / colourEvery < withColour) {
            missed += !OpenAndCancelColourDialog(program, window);
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        missed += !e2e::WaitFor([&] { return !IsWindow(window); }, 5s);
    }
    return missed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto arg = [&](int i, int fallback) { return argc > i ? _wtoi(argv[i]) : fallback; };
    const int toggles = arg(1, 10000), trayCycles = arg(2, 1000), settingsWindows = arg(3, 300),
              withColour = arg(4, 50), menus = arg(5, 300), pauseMs = arg(6, 17);

    // What the platform says of this process, which certainly holds handles, a window DC and a
    // bitmap now.
    HDC screen = GetDC(nullptr);
    HBITMAP probe = CreateCompatibleBitmap(screen, 8, 8);
    DWORD ownHandles = 0;
    const BOOL counted = GetProcessHandleCount(GetCurrentProcess(), &ownHandles);
    std::printf(
        "the benchmark itself: GetProcessHandleCount %s %lu, GetGuiResources GDI %lu, "
        "USER %lu\n\n",
        counted ? "gives" : "fails,", ownHandles,
        GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
        GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    DeleteObject(probe);
    ReleaseDC(nullptr, screen);

    // Hundreds of hides, shows, window openings and closings: without the 2 s that Wine waits
    // for a window manager at each (see UnmanagedWindows).
    e2e::UnmanagedWindows unmanaged;
    e2e::KeeperTrayIcon keeper;
    e2e::AllLocksOff();

    PrintHeader();
    {
        Program floor(L"minimal_window.exe", L"OruvelBenchMinimal");
        Sleep(1000);
        PrintRow("minimal window (the floor)",
                 Columns(Measure(floor.process, UnixProcessFolder(floor.folder.exe()))));
    }

    Program oruvel(L"oruvel.exe", kBarClass);
    const e2e::Process& program = oruvel.process;
    HWND bar = oruvel.window;
    const std::wstring unixFolder = UnixProcessFolder(oruvel.folder.exe());
    Sleep(1000);  // the start-up's own work settles
    const Figures start = Measure(program, unixFolder);
    PrintRow("oruvel.exe at the start", Columns(start));

    std::vector<std::string> missed;
    const auto phase = [&](const std::string& name, const auto& run) {
        const double begun = Now();
        const int failures = run();
        const double seconds = Now() - begun;
        Sleep(500);
        PrintRow("after " + name, Columns(Measure(program, unixFolder)), seconds);
        if (failures > 0) {
            missed.push_back(name + ": " + std::to_string(failures) + " steps not seen");
        }
    };
    // What the first use of each part loads once (the colour dialog's library, its fonts) is told
    // apart from what would grow with use.
    phase("one of each (first use)", [&] {
        return ToggleLocks(1, pauseMs) + HideAndShow(bar, 1) +
               OpenAndCloseSettings(program, bar, 1, 1) + OpenAndDismissMenus(program, bar, 1);
    });
    phase(std::to_string(toggles) + " lock toggles", [&] { return ToggleLocks(toggles, pauseMs); });
    phase(std::to_string(trayCycles) + " tray hide/show cycles",
          [&] { return HideAndShow(bar, trayCycles); });
    phase(std::to_string(settingsWindows) + " settings windows, " + std::to_string(withColour) +
              " with colours",
          [&] { return OpenAndCloseSettings(program, bar, settingsWindows, withColour); });
    phase(std::to_string(menus) + " menus",
          [&] { return OpenAndDismissMenus(program, bar, menus); });

    Sleep(2000);
    const Figures end = Measure(program, unixFolder);
    PrintRow("oruvel.exe at the end", Columns(end));
    std::vector<long long> change;
    const std::vector<long long> before = Columns(start), after = Columns(end);
    for (size_t i = 0; i < before.size(); ++i) {
        change.push_back(after[i] - before[i]);
    }
    PrintRow("change from start to end", change);
    for (const std::string& m : missed) {
        std::printf("not seen: %s\n", m.c_str());
    }
    return 0;
}
