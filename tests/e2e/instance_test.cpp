// One instance per logon: second starts, the running bar brought back, a foreign holder of the
// instance's name, and a burst of starts at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

// The name under which a running instance is found.
constexpr char kInstanceName[] = "G.Oruvel";
constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar";
// Where the settings file of these cases puts the bar: away from the default top-centre place.
constexpr POINT kBarPlace = {123, 234};

class InstanceTest : public LockKeysOff {
  protected:
    void SetUp() override {
        LockKeysOff::SetUp();
        // A leftover instance of an earlier case would answer for the program under test.
        ASSERT_TRUE(WaitFor([] { return !InstanceNameTaken(); }))
            << "an instance of the program is still running before the case starts";
    }
    static bool InstanceNameTaken() {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kInstanceName);
        if (!mapping) {
            return false;
        }
        CloseHandle(mapping);
        return true;
    }
};

// Messages sent to the driver's own windows by other processes (a ShowWindow, an activation)
// are answered only while the driver pumps, so the waits here pump.
void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitPumping(const std::function<bool()>& condition,
                 std::chrono::milliseconds timeout = 5000ms) {
    return WaitFor(
        [&] {
            PumpMessages();
            return condition();
        },
        timeout);
}

// A plain top-level window of the driver: takes the foreground away from the bar, or stands in
// for a bar whose handle a foreign mapping holds.
class DriverWindow {
  public:
    DriverWindow(bool visible, POINT at) {
        static const ATOM windowClass = [] {
            WNDCLASSW c{};
            c.lpfnWndProc = DefWindowProcW;
            c.hInstance = GetModuleHandleW(nullptr);
            c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            c.lpszClassName = L"OruvelE2EInstanceDriver";
            return RegisterClassW(&c);
        }();
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(windowClass), L"driver",
                                  WS_POPUP | (visible ? WS_VISIBLE : 0), at.x, at.y, 80, 40,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window_, nullptr) << "cannot create the driver's window";
    }
    DriverWindow(const DriverWindow&) = delete;
    DriverWindow& operator=(const DriverWindow&) = delete;
    ~DriverWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

  private:
    HWND window_ = nullptr;
};

// Takes the foreground for the driver, so that an activation of the bar is seen as a change.
void TakeForeground(const DriverWindow& window) {
    SetForegroundWindow(window.get());
    ASSERT_TRUE(WaitPumping([&] { return GetForegroundWindow() == window.get(); }))
        << "the driver's window did not become the foreground window; it is "
        << GetForegroundWindow();
}

// Counts the windows that the tray's process creates while this watch lives. Without a desktop
// tray, Wine's explorer (the process of the desktop window) shows each tray icon as a window
// of its own, with a tooltip window beside it. The system posts each creation to this thread,
// before the call that added the icon returns: pumping after a start has ended sees them all.
class TrayWindowsCreated {
  public:
    TrayWindowsCreated() {
        DWORD trayProcess = 0;
        GetWindowThreadProcessId(GetDesktopWindow(), &trayProcess);
        created_ = 0;
        hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, Created,
                                trayProcess, 0, WINEVENT_OUTOFCONTEXT);
        EXPECT_NE(hook_, nullptr) << "cannot watch the tray's process";
    }
    TrayWindowsCreated(const TrayWindowsCreated&) = delete;
    TrayWindowsCreated& operator=(const TrayWindowsCreated&) = delete;
    ~TrayWindowsCreated() { UnhookWinEvent(hook_); }
    int count() const {
        PumpMessages();
        return created_;
    }

  private:
    static void CALLBACK Created(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD) {
        created_ += object == OBJID_WINDOW;
    }
    static inline int created_ = 0;
    HWINEVENTHOOK hook_ = nullptr;
};

// The exit code once the process has ended, pumping meanwhile; -1 if it runs on.
long ExitCodePumping(const Process& process) {
    WaitPumping([&] { return !process.Running(); }, 10000ms);
    return process.ExitCode(0ms);
}

int VisibleWindowCount(const Process& process) {
    const std::vector<HWND> windows = process.Windows();
    return static_cast<int>(std::count_if(windows.begin(), windows.end(), IsWindowVisible));
}

// What a start that must find another instance did while it ran.
struct QuickEnd {
    long exitCode = -1;
    int mostVisibleWindows = 0;  // at any one look while it ran
    int trayWindowsCreated = 0;
    double lifetimeMs = 0;
};

// Starts `exe`, watches it until it ends (pumping the driver's messages meanwhile) and prints
// how long it lived.
QuickEnd StartAndWatchUntilEnd(const std::wstring& exe) {
    const TrayWindowsCreated tray;
    Process start(exe);
    QuickEnd seen;
    auto look = [&] {
        seen.mostVisibleWindows = std::max(seen.mostVisibleWindows, VisibleWindowCount(start));
    };
    WaitPumping(
        [&] {
            look();
            return !start.Running();
        },
        10000ms);
    look();
    seen.exitCode = start.ExitCode(0ms);
    seen.trayWindowsCreated = tray.count();
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(start.handle(), &created, &exited, &kernel, &user) && seen.exitCode != -1) {
        auto ticks = [](FILETIME t) { return uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime; };
        seen.lifetimeMs = static_cast<double>(ticks(exited) - ticks(created)) / 10000.0;
        std::printf("[ observed ] the start ended with code %ld after %.1f ms\n", seen.exitCode,
                    seen.lifetimeMs);
    }
    return seen;
}

std::string SettingsFile(int left, int top) {
    std::ostringstream text;
    text << "; kept by the instance tests\r\n"
         << "[" << Gbk(L"程序配置") << "]\r\n"
         << Gbk(L"前端显示") << "=" << Gbk(L"是") << "\r\n"
         << Gbk(L"指示灯颜色") << "=255\r\n"
         << Gbk(L"左边") << "=" << left << "\r\n"
         << Gbk(L"顶边") << "=" << top << "\r\n";
    return text.str();
}

// The settings file's three times; a read shows in the access time on a file whose access time
// is not later than its write time (the system's "relatime" rule), a write in the others.
struct FileTimes {
    FILETIME created{}, accessed{}, written{};
};

FileTimes TimesOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        << "no file to take the times of";
    return {data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime};
}

std::string Show(const FILETIME& t) {
    return std::to_string(uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime);
}

void ExpectSameTimes(const FileTimes& before, const FileTimes& after) {
    const struct {
        const char* name;
        const FILETIME& was;
        const FILETIME& is;
    } times[] = {{"creation", before.created, after.created},
                 {"last access", before.accessed, after.accessed},
                 {"last write", before.written, after.written}};
    for (const auto& t : times) {
        EXPECT_EQ(CompareFileTime(&t.was, &t.is), 0)
            << "config.ini's " << t.name << " time changed: " << Show(t.was) << " -> "
            << Show(t.is);
    }
}

// Failure text when `bytes` is not a settings file with the section once and each of the four
// keys once in it, with a well-formed value.
std::string SettingsFileFault(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    std::string section = "[";
    section.append(Gbk(L"程序配置")).append("]");
    if (std::count(lines.begin(), lines.end(), section) != 1) {
        return "the section is not there exactly once";
    }
    auto isNumber = [](const std::string& v) {
        const size_t start = !v.empty() && v[0] == '-';
        return v.size() > start && v.find_first_not_of("0123456789", start) == std::string::npos;
    };
    const std::string yes = Gbk(L"是"), no = Gbk(L"否");
    const struct {
        const wchar_t* key;
        bool flag;
    } keys[] = {{L"前端显示", true}, {L"指示灯颜色", false}, {L"左边", false}, {L"顶边", false}};
    for (const auto& k : keys) {
        const std::string prefix = Gbk(k.key) + "=";
        int found = 0;
        for (const std::string& line : lines) {
            if (line.rfind(prefix, 0) == 0) {
                ++found;
                const std::string value = line.substr(prefix.size());
                if (k.flag ? value != yes && value != no : !isNumber(value)) {
                    return "a key has the malformed value \"" + value + "\"";
                }
            }
        }
        if (found != 1) {
            return "a key is there " + std::to_string(found) + " times";
        }
    }
    return "";
}

std::string Describe(HWND window) {
    std::ostringstream text;
    const RECT r = WindowRect(window);
    text << "visible " << IsWindowVisible(window) << ", iconic " << IsIconic(window) << ", at "
         << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top
         << ", foreground " << GetForegroundWindow() << " (bar " << window << ")";
    return text.str();
}

}  // namespace

// A second start, from the same folder or another, while the first bar is visible, hidden (as
// the tray hides it) or minimised: the first bar comes back at its place and active; the second
// process ends with code 0 having shown no window, added no tray icon and left config.ini
// exactly as it was, down to its times.
TEST_F(InstanceTest, SecondStartBringsBackTheFirstBarAndEndsUnseen) {
    const struct {
        const char* name;
        int firstBarShow;  // what the driver does to the first bar before the second start
        bool otherFolder;
    } cases[] = {
        {"visible", SW_SHOWNA, false},
        {"hidden", SW_HIDE, false},
        {"minimised", SW_MINIMIZE, false},
        {"visible, second copy in another folder", SW_SHOWNA, true},
    };
    // One for all cases: under Wine without a window manager, each window that goes away
    // costs a two-second wait for X.
    DriverWindow other(true, {600, 500});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder folder, otherFolder;
        const std::string settings = SettingsFile(kBarPlace.x, kBarPlace.y);
        ASSERT_TRUE(WriteFileBytes(folder.config(), settings));
        const TrayWindowsCreated tray;
        Process first(folder.exe());
        HWND bar = first.WaitForBar();
        ASSERT_NE(bar, nullptr) << "the first start shows no bar";
        const RECT place = WindowRect(bar);
        ASSERT_EQ(place.left, kBarPlace.x) << "the first bar is not at its configured place";
        ASSERT_EQ(place.top, kBarPlace.y);
        // Seeing the first instance's icon arrive shows that a second one would be seen too.
        ASSERT_TRUE(WaitFor([&] { return tray.count() > 0; }))
            << "the tray made no window for the first instance's icon";

        ShowWindow(bar, c.firstBarShow);
        switch (c.firstBarShow) {
            case SW_HIDE:
                ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(bar); })) << Describe(bar);
                break;
            case SW_MINIMIZE:
                ASSERT_TRUE(WaitFor([&] { return IsIconic(bar); })) << Describe(bar);
                break;
        }
        TakeForeground(other);
        if (HasFatalFailure()) {
            return;
        }

        // Rewritten with the same bytes once the first instance has read it: now a read of the
        // file would move its access time.
        ASSERT_TRUE(WriteFileBytes(folder.config(), settings));
        const FileTimes timesBefore = TimesOf(folder.config());

        const QuickEnd second =
            StartAndWatchUntilEnd(c.otherFolder ? otherFolder.exe() : folder.exe());
        EXPECT_EQ(second.exitCode, 0) << "the second start did not end with code 0";
        EXPECT_EQ(second.mostVisibleWindows, 0) << "the second start showed a window";
        EXPECT_EQ(second.trayWindowsCreated, 0) << "the second start added a tray icon";

        EXPECT_TRUE(WaitPumping([&] {
            const RECT now = WindowRect(bar);
            return IsWindowVisible(bar) && !IsIconic(bar) && GetForegroundWindow() == bar &&
                   EqualRect(&place, &now);
        })) << "expected the first bar visible, restored, active at "
            << place.left << "," << place.top << "; it is " << Describe(bar);

        ExpectSameTimes(timesBefore, TimesOf(folder.config()));
        EXPECT_EQ(ReadFileBytes(folder.config()), settings) << "config.ini's bytes changed";
        EXPECT_FALSE(FileExists(otherFolder.config())) << "the second start wrote a config.ini";

        PostMessageW(bar, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCodePumping(first), 0) << "the first instance did not end with code 0";
    }
}

// Once the first instance has ended, the next start is the first instance again: it shows its
// bar and, in turn, sends a start after it away.
TEST_F(InstanceTest, StartAfterTheFirstInstanceEndedRunsNormally) {
    ProgramFolder folder;
    {
        Process first(folder.exe());
        HWND bar = first.WaitForBar();
        ASSERT_NE(bar, nullptr) << "the first start shows no bar";
        PostMessageW(bar, WM_CLOSE, 0, 0);
        ASSERT_EQ(ExitCodePumping(first), 0) << "the first instance did not end with code 0";
    }

    Process next(folder.exe());
    HWND bar = next.WaitForBar();
    ASSERT_NE(bar, nullptr) << "a start after the first instance ended shows no bar";

    DriverWindow other(true, {600, 500});
    TakeForeground(other);
    const QuickEnd third = StartAndWatchUntilEnd(folder.exe());
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_EQ(third.mostVisibleWindows, 0) << "a start while the new instance runs showed a window";
    EXPECT_TRUE(WaitPumping([&] { return GetForegroundWindow() == bar; }))
        << "the new instance's bar was not activated; " << Describe(bar);

    PostMessageW(bar, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodePumping(next), 0) << "the new instance did not end with code 0";
}

// Another process holding a mapping of the instance's name makes every start end at once with
// code 0, harming nothing; the start restores whatever window the mapping's first 4 bytes name.
TEST_F(InstanceTest, ForeignHolderOfTheNameEndsEveryStart) {
    DriverWindow standIn(false, {600, 500});
    const struct {
        const char* name;
        uint32_t content;
        bool restoresStandIn;
    } cases[] = {
        {"zero bytes", 0, false},
        {"junk", 0xDEADBEEF, false},
        {"a hidden window of the holder",
         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(standIn.get())), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShowWindow(standIn.get(), SW_HIDE);
        const std::unique_ptr<void, decltype(&CloseHandle)> mapping(
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kInstanceName),
            CloseHandle);
        ASSERT_NE(mapping, nullptr) << "cannot create the mapping";
        if (void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0)) {
            CopyMemory(view, &c.content, sizeof c.content);
            UnmapViewOfFile(view);
        }

        ProgramFolder folder;
        const QuickEnd start = StartAndWatchUntilEnd(folder.exe());
        EXPECT_EQ(start.exitCode, 0) << "the start did not end with code 0";
        EXPECT_EQ(start.mostVisibleWindows, 0) << "the start showed a window";
        EXPECT_EQ(start.trayWindowsCreated, 0) << "the start added a tray icon";
        EXPECT_FALSE(FileExists(folder.config())) << "the start wrote a config.ini";
        if (c.restoresStandIn) {
            EXPECT_TRUE(WaitPumping([&] { return IsWindowVisible(standIn.get()) != FALSE; }))
                << "the window named in the mapping was not shown";
        } else {
            EXPECT_FALSE(IsWindowVisible(standIn.get()));
        }
    }
}

// Ten starts at once in one folder: exactly one runs, even when several look before any has
// created the mapping; the others end with code 0 unseen. The one that runs closes with code 0
// and leaves a whole settings file.
TEST_F(InstanceTest, TenStartsAtOnceLeaveExactlyOneThatClosesCleanly) {
    constexpr int kStarts = 10;
    ProgramFolder folder;
    std::vector<std::unique_ptr<Process>> starts;
    for (int i = 0; i < kStarts; ++i) {
        starts.push_back(std::make_unique<Process>(folder.exe()));
    }

    // Settled when every start has either ended or shows its bar.
    std::vector<bool> showedWindow(kStarts, false);
    auto bar = [](const Process& p) { return p.VisibleWindowWithClass(kBarClass); };
    const bool settled = WaitPumping(
        [&] {
            bool all = true;
            for (int i = 0; i < kStarts; ++i) {
                const bool shows = VisibleWindowCount(*starts[i]) > 0;
                showedWindow[i] = showedWindow[i] || shows;
                all = all && (!starts[i]->Running() || bar(*starts[i]));
            }
            return all;
        },
        20000ms);
    ASSERT_TRUE(settled) << "some start neither ended nor showed its bar";

    std::vector<HWND> runningBars;
    for (int i = 0; i < kStarts; ++i) {
        if (starts[i]->Running()) {
            runningBars.push_back(bar(*starts[i]));
        } else {
            EXPECT_EQ(starts[i]->ExitCode(0ms), 0) << "start " << i << " ended with another code";
            EXPECT_FALSE(showedWindow[i]) << "start " << i << " showed a window and then ended";
        }
    }
    std::printf("[ observed ] of %d starts at once, %zu kept running\n", kStarts,
                runningBars.size());
    EXPECT_EQ(runningBars.size(), 1u) << "not exactly one start kept running";

    for (HWND running : runningBars) {
        PostMessageW(running, WM_CLOSE, 0, 0);
    }
    for (int i = 0; i < kStarts; ++i) {
        EXPECT_EQ(ExitCodePumping(*starts[i]), 0) << "start " << i << " did not end with code 0";
    }
    if (FileExists(folder.config())) {
        const std::string bytes = ReadFileBytes(folder.config());
        EXPECT_EQ(SettingsFileFault(bytes), "") << "config.ini is not whole:\n" << bytes;
    }
}
