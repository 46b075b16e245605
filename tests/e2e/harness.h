// Helpers of the end-to-end driver: it starts copies of oruvel.exe, drives them with real
// input and observes them from outside, knowing nothing of the program's internals.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

// Seconds on the performance counter, for measuring intervals.
double Now();

// Polls `condition` until it holds or `timeout` has passed; true when it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5000ms);

// A copy of oruvel.exe (or another build of it beside the driver) in a fresh folder of its own,
// removed again with everything in it at the end of the test.
class ProgramFolder {
  public:
    explicit ProgramFolder(const std::wstring& exeName = L"oruvel.exe",
                           const std::wstring& folderName = L"");
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    ~ProgramFolder();

    const std::wstring& path() const { return path_; }
    std::wstring exe() const { return path_ + L"\\" + exeName_; }
    std::wstring config() const { return path_ + L"\\config.ini"; }

  private:
    std::wstring path_;
    std::wstring exeName_;
};

// A running process of the program; terminated at the end of the test if still running.
class Process {
  public:
    explicit Process(const std::wstring& exe, const std::wstring& arguments = L"");
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    DWORD id() const { return id_; }
    HANDLE handle() const { return handle_; }
    bool Running() const;
    // The exit code once the process has ended within `timeout`; -1 otherwise.
    long ExitCode(std::chrono::milliseconds timeout = 15000ms) const;
    // Waits for the process's bar window to be shown and painted; null if it is not within
    // `timeout`.
    HWND WaitForBar(std::chrono::milliseconds timeout = 8000ms) const;
    // The process's top-level windows, visible or not.
    std::vector<HWND> Windows() const;
    // Its visible top-level window with this caption, or null.
    HWND VisibleWindowWithClass(const wchar_t* className) const;
    void Kill();

  private:
    HANDLE handle_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
};

RECT WindowRect(HWND window);
// The window's region as rectangles in window coordinates; empty when it has none.
std::vector<RECT> WindowRegion(HWND window);
bool IsTopmost(HWND window);

// Screen pixels as 0x00RRGGBB, row by row.
struct Pixels {
    RECT area{};
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const {
        return rgb[(y - area.top) * (area.right - area.left) + (x - area.left)];
    }
};
Pixels ScreenPixels(const RECT& area);
// The distance of two colours: the sum of the differences of red, green and blue.
int ColourDistance(uint32_t a, uint32_t b);
// How many pixels in `area` are within `tolerance` of `rgb`.
int CountPixelsNear(const Pixels& pixels, const RECT& area, uint32_t rgb, int tolerance = 40);

// Real input through SendInput.
void PressKey(WORD virtualKey, bool down);
void TapKey(WORD virtualKey);
bool LockIsOn(WORD virtualKey);
void SetLock(WORD virtualKey, bool on);
// Whether a process started now reads the lock's present state, as the program does at its
// start. Wine 8 starts a process's key state empty and copies only later changes into it, so a
// lock switched on earlier reads as off there until the key changes.
bool NewProcessSeesLock(WORD virtualKey);
// The driver started with this option and a virtual-key code, in decimal, runs ReportLock.
inline constexpr wchar_t kReportLockOption[] = L"--report-lock";
// Exit code 1 when GetKeyState reads the lock on, 0 when off: the fresh process's answer.
int ReportLock(const wchar_t* virtualKey);
void MoveMouse(int x, int y);
void MouseButton(bool right, bool down);
void Click(int x, int y, bool right = false);

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// GBK text of the settings file's lines.
std::string Gbk(const wchar_t* text);

// Runs a Linux command line through /bin/sh under Wine and gives its exit status; -1, with a
// failure, when it cannot be run or does not finish within 10 s. The command is ASCII.
int RunUnix(const std::string& command);
// The Unix path of a file under Wine (whose folder exists); empty elsewhere.
std::string UnixPath(const std::wstring& path);
// Makes `link` a symbolic link to the file `target`; false when the system cannot.
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target);
bool IsSymbolicLink(const std::wstring& path);
// Removes the link, not the file it leads to.
void RemoveSymbolicLink(const std::wstring& link);

// Saves a screenshot of the whole screen as a .bmp file named after the test.
void SaveScreenshot(const std::string& name);

}  // namespace e2e

namespace e2e {

// Releases any lock key still held and switches Num, Caps and Scroll Lock off.
void AllLocksOff();

// A case that starts and ends with Num, Caps and Scroll Lock off, whatever happens in it.
class LockKeysOff : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Text pixels of each lamp, counted in the columns that belong to that lamp alone.
enum class LampColumns { Num, Caps, Scroll };
int LampPixelsNear(HWND bar, LampColumns lamp, uint32_t rgb);
// Whether the lamp's text shows in `rgb`: enough of its pixels are near it.
bool LampShowsColour(HWND bar, LampColumns lamp, uint32_t rgb);

// What a lamp shows in the default colours: lit green, unlit silver, or neither clearly.
constexpr uint32_t kLitGreen = 0x00FF00, kUnlitSilver = 0xC0C0C0;
enum class LampLook { Lit, Unlit, Unclear };
LampLook LookOfLamp(HWND bar, LampColumns lamp);

// Presses the left button at a point of the bar (window coordinates) and keeps it down.
void PressOnBar(HWND bar, POINT at, bool right = false);

// The private message through which the tray icon's notifications reach the bar; a driver that
// posts it stands in for the mouse on the icon.
inline constexpr UINT kTrayCallback = WM_APP + 100;

// The settings window's class, and the class of an open pop-up menu.
inline constexpr wchar_t kSettingsClass[] = L"OruvelSettingsWindow";
inline constexpr wchar_t kMenuClass[] = L"#32768";
// Chooses 设置, the first item of the program's menu that a right click opened.
void ChooseSettingsFromOpenMenu(const Process& program);
// Opens the settings window from the bar's menu; its window once shown and painted, else null.
HWND OpenSettingsFromBar(const Process& program, HWND bar);

// Messages sent to the driver's own windows by other processes (a ShowWindow, an activation)
// are answered only while the driver pumps, so waits that involve its windows pump.
void PumpMessages();
bool WaitPumping(const std::function<bool()>& condition,
                 std::chrono::milliseconds timeout = 5000ms);

// A plain 80 x 40 top-level window of the driver, another program's window to the bar: it takes
// the foreground away from the bar, or stands in for a bar whose handle a foreign mapping holds.
class DriverWindow {
  public:
    DriverWindow(bool visible, POINT at);
    DriverWindow(const DriverWindow&) = delete;
    DriverWindow& operator=(const DriverWindow&) = delete;
    ~DriverWindow();
    HWND get() const { return window_; }

  private:
    HWND window_ = nullptr;
};

// Makes the driver's window the foreground window; fails the case if it does not become it.
void TakeForeground(const DriverWindow& window);

}  // namespace e2e

namespace e2e {

// Wine waits up to 2 s for a window manager to confirm each map and unmap of a window it hands
// to one, and Xvfb runs none: every start, close, hide and show of the bar takes 2 s more. Cases
// and benchmarks that do these by the hundred make the program's windows ones that Wine keeps to
// itself, which skip the wait, while this object lives (the Wine setting "Managed" = "N" of
// oruvel.exe's X11 driver, read when a process starts; Windows has no such setting). The
// program runs as it always does.
class UnmanagedWindows {
  public:
    UnmanagedWindows();
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;
    ~UnmanagedWindows();

  private:
    bool createdAppKey_, createdX11Key_;
    bool hadValue_ = false;
    wchar_t previous_[16] = {};
};

// A tray icon of the driver's own while this object lives. Wine's tray window hides when its last
// icon goes, and waits 2 s for that; with this icon beside the program's, the program's comes and
// goes at once.
class KeeperTrayIcon {
  public:
    KeeperTrayIcon();
    KeeperTrayIcon(const KeeperTrayIcon&) = delete;
    KeeperTrayIcon& operator=(const KeeperTrayIcon&) = delete;
    ~KeeperTrayIcon();

  private:
    HWND window_ = nullptr;
};

}  // namespace e2e
