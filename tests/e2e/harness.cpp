#include "tests/e2e/harness.h"

#include "base/handles_win.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace e2e {

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

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
}

namespace {

std::wstring DriverFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

ProgramFolder::ProgramFolder(const std::wstring& exeName, const std::wstring& folderName)
    : exeName_(exeName) {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"oruvel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + folderName;
    RemoveTree(path_);
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << "cannot create the test folder";
    const std::wstring source = DriverFolder() + L"\\" + exeName;
    EXPECT_TRUE(CopyFileW(source.c_str(), exe().c_str(), FALSE)) << "cannot copy the exe";
}

ProgramFolder::~ProgramFolder() {
    RemoveTree(path_);
}

Process::Process(const std::wstring& exe, const std::wstring& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &info)) {
        handle_ = info.hProcess;
        thread_ = info.hThread;
        id_ = info.dwProcessId;
    }
    EXPECT_NE(handle_, nullptr) << "cannot start the program";
}

Process::~Process() {
    Kill();
    if (handle_) {
        CloseHandle(handle_);
        CloseHandle(thread_);
    }
}

void Process::Kill() {
    if (Running()) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 5000);
    }
}

bool Process::Running() const {
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

long Process::ExitCode(std::chrono::milliseconds timeout) const {
    if (!handle_ || WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) != 0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return static_cast<long>(code);
}

std::vector<HWND> Process::Windows() const {
    struct Search {
        DWORD id;
        std::vector<HWND> found;
    } search{id_, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->id) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Process::VisibleWindowWithClass(const wchar_t* className) const {
    for (HWND window : Windows()) {
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        if (IsWindowVisible(window) && lstrcmpW(name, className) == 0) {
            return window;
        }
    }
    return nullptr;
}

HWND Process::WaitForBar(std::chrono::milliseconds timeout) const {
    HWND bar = nullptr;
    // Shown means on screen: X maps a window a moment after Windows calls it visible.
    const bool shown = WaitFor(
        [&] {
            bar = VisibleWindowWithClass(L"OruvelIndicatorBar");
            if (!bar) {
                return false;
            }
            const RECT rect = WindowRect(bar);
            const RECT edge{rect.right - 1, rect.top + 10, rect.right, rect.top + 11};
            return ScreenPixels(edge).rgb[0] != 0;
        },
        timeout);
    return shown ? bar : nullptr;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::vector<RECT> WindowRegion(HWND window) {
    std::vector<RECT> rects;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(window, region) != ERROR) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<char> data(size);
        auto* header = reinterpret_cast<RGNDATA*>(data.data());
        if (size && GetRegionData(region, size, header)) {
            const RECT* begin = reinterpret_cast<const RECT*>(header->Buffer);
            rects.assign(begin, begin + header->rdh.nCount);
        }
    }
    DeleteObject(region);
    return rects;
}

bool IsTopmost(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

Pixels ScreenPixels(const RECT& area) {
    Pixels pixels{area, {}};
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    {
        oruvel::UniqueMemoryDc memory(CreateCompatibleDC(screen));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        oruvel::UniqueBitmap bitmap(
            CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        oruvel::ScopedSelect target(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* begin = static_cast<const uint32_t*>(bits);
        for (int i = 0; i < width * height; ++i) {
            pixels.rgb.push_back(begin[i] & 0xFFFFFF);
        }
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

int ColourDistance(uint32_t a, uint32_t b) {
    int distance = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        distance +=
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    }
    return distance;
}

int CountPixelsNear(const Pixels& pixels, const RECT& area, uint32_t rgb, int tolerance) {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            count += ColourDistance(pixels.at(x, y), rgb) <= tolerance;
        }
    }
    return count;
}

void PressKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

void TapKey(WORD virtualKey) {
    PressKey(virtualKey, true);
    PressKey(virtualKey, false);
}

bool LockIsOn(WORD virtualKey) {
    // While a window of the driver is in front, the keys come to the driver's own queue, and its
    // thread's key state follows them only as they are taken from it.
    PumpMessages();
    BYTE keys[256];
    GetKeyState(0);  // brings this thread's key state up to date
    GetKeyboardState(keys);
    return keys[virtualKey] & 1;
}

void SetLock(WORD virtualKey, bool on) {
    if (LockIsOn(virtualKey) != on) {
        TapKey(virtualKey);
    }
    EXPECT_TRUE(WaitFor([&] { return LockIsOn(virtualKey) == on; }, 2000ms))
        << "the lock key " << virtualKey << " did not turn " << (on ? "on" : "off");
}

bool NewProcessSeesLock(WORD virtualKey) {
    wchar_t driver[MAX_PATH];
    GetModuleFileNameW(nullptr, driver, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(driver) + L"\" " + kReportLockOption + L" " +
                               std::to_wstring(virtualKey);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(driver, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start the driver to read a lock key";
        return false;
    }
    DWORD code = 2;
    if (WaitForSingleObject(info.hProcess, 15000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &code);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_LE(code, 1u) << "the driver reading a lock key gave no answer";
    return (code == 1) == LockIsOn(virtualKey);
}

int ReportLock(const wchar_t* virtualKey) {
    return GetKeyState(_wtoi(virtualKey)) & 1;
}

void MoveMouse(int x, int y) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates are in 1/65536 of the screen; rounding up lands on the pixel itself
    // when they are scaled back down.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (x * 65536 + width - 1) / width;
    input.mi.dy = (y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    POINT at{};
    EXPECT_TRUE(WaitFor([&] { return GetCursorPos(&at) && at.x == x && at.y == y; }, 2000ms))
        << "the pointer is at " << at.x << "," << at.y << ", not at " << x << "," << y;
}

void MouseButton(bool right, bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                             : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    SendInput(1, &input, sizeof input);
}

void Click(int x, int y, bool right) {
    MoveMouse(x, y);
    MouseButton(right, true);
    MouseButton(right, false);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Gbk(const wchar_t* text) {
    const int size = WideCharToMultiByte(936, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(936, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

namespace {

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

// Wine starts a Unix executable handed to CreateProcess but gives back no process handle, so the
// shell writes its status into a marker file that the driver polls for (Z: is Wine's drive for
// the Unix root).
int RunUnix(const std::string& command) {
    static int counter = 0;
    const std::string marker = "/tmp/oruvel-e2e-unix-" + std::to_string(GetCurrentProcessId()) +
                               "-" + std::to_string(++counter);
    std::wstring markerPath = L"Z:" + Widen(marker);
    std::replace(markerPath.begin(), markerPath.end(), L'/', L'\\');
    DeleteFileW(markerPath.c_str());
    std::wstring commandLine = L"sh -c \"" + Widen(command) + L"; echo $? >" + Widen(marker) +
                               L".tmp; mv " + Widen(marker) + L".tmp " + Widen(marker) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start /bin/sh through Wine (error " << GetLastError() << ")";
        return -1;
    }
    if (info.hProcess) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    if (!WaitFor([&] { return FileExists(markerPath); }, 10000ms)) {
        ADD_FAILURE() << "the command did not finish: " << command;
        return -1;
    }
    const int status = std::atoi(ReadFileBytes(markerPath).c_str());
    DeleteFileW(markerPath.c_str());
    return status;
}

std::string UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    // Through void (*)(): the one cast between function types that -Wcast-function-type allows.
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unixPath) {
        return {};
    }
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target) {
    // Windows without administrator rights makes links in developer mode, with this flag.
    constexpr DWORD kAllowUnprivilegedCreate = 0x2;
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), kAllowUnprivilegedCreate) &&
        FileExists(link)) {
        return true;
    }
    // Wine 8's CreateSymbolicLinkW reports success and makes nothing; Wine follows a Unix link as
    // the file it leads to.
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    return !unixLink.empty() && !unixTarget.empty() &&
           RunUnix("ln -s '" + unixTarget + "' '" + unixLink + "'") == 0;
}

bool IsSymbolicLink(const std::wstring& path) {
    const std::string unixPath = UnixPath(path);
    if (!unixPath.empty()) {
        return RunUnix("test -L '" + unixPath + "'") == 0;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void RemoveSymbolicLink(const std::wstring& link) {
    // Wine's DeleteFileW removes the file that a Unix link leads to, and leaves the link.
    const std::string unixLink = UnixPath(link);
    if (!unixLink.empty()) {
        EXPECT_EQ(RunUnix("rm -f '" + unixLink + "'"), 0) << "cannot remove " << unixLink;
    } else {
        DeleteFileW(link.c_str());
    }
}

void SaveScreenshot(const std::string& name) {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const Pixels pixels = ScreenPixels(screen);
    const int width = screen.right, height = screen.bottom;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + width * height * 4;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(pixels.rgb.data()), pixels.rgb.size() * 4);
    wchar_t folder[MAX_PATH] = L".";
    GetEnvironmentVariableW(L"ORUVEL_E2E_ARTIFACTS", folder, MAX_PATH);
    std::wstring path = std::wstring(folder) + L"\\";
    for (char c : name) {
        path += (isalnum(static_cast<unsigned char>(c)) ? static_cast<wchar_t>(c) : L'_');
    }
    WriteFileBytes(path + L".bmp", bytes);
}

}  // namespace e2e

namespace e2e {

void AllLocksOff() {
    for (WORD key : {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL}) {
        if (GetAsyncKeyState(key) < 0) {
            PressKey(key, false);  // a case that stopped while holding it
        }
        SetLock(key, false);
    }
}

void LockKeysOff::SetUp() {
    AllLocksOff();
}

void LockKeysOff::TearDown() {
    // Taken now, while the case's program is still on screen.
    if (HasFailure()) {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        SaveScreenshot(std::string(test->test_suite_name()) + "." + test->name());
    }
    AllLocksOff();
}

namespace {

// The lamp's own columns on screen: Num's text lies left of column 25, Caps's between its
// neighbours' rectangles, Scroll's right of column 68; rows 2 to 19 hold the lamps.
RECT LampArea(HWND bar, LampColumns lamp) {
    static constexpr LONG kColumns[][2] = {{0, 25}, {40, 55}, {69, 99}};
    const RECT bounds = WindowRect(bar);
    const auto& c = kColumns[static_cast<int>(lamp)];
    return {bounds.left + c[0], bounds.top + 2, bounds.left + c[1], bounds.top + 20};
}

constexpr int kLampTolerance = 60;
// Antialiased text keeps only a few pixels near the pure colour ("Scroll" lit has five).
constexpr int kTextPixels = 3;

}  // namespace

int LampPixelsNear(HWND bar, LampColumns lamp, uint32_t rgb) {
    const RECT area = LampArea(bar, lamp);
    return CountPixelsNear(ScreenPixels(area), area, rgb, kLampTolerance);
}

bool LampShowsColour(HWND bar, LampColumns lamp, uint32_t rgb) {
    return LampPixelsNear(bar, lamp, rgb) >= kTextPixels;
}

LampLook LookOfLamp(HWND bar, LampColumns lamp) {
    // None of a lit lamp is near silver, nor of an unlit one near green.
    const RECT area = LampArea(bar, lamp);
    const Pixels pixels = ScreenPixels(area);
    const int lit = CountPixelsNear(pixels, area, kLitGreen, kLampTolerance);
    const int unlit = CountPixelsNear(pixels, area, kUnlitSilver, kLampTolerance);
    if (lit >= kTextPixels && unlit == 0) {
        return LampLook::Lit;
    }
    if (unlit >= kTextPixels && lit == 0) {
        return LampLook::Unlit;
    }
    return LampLook::Unclear;
}

void PressOnBar(HWND bar, POINT at, bool right) {
    const RECT bounds = WindowRect(bar);
    MoveMouse(bounds.left + at.x, bounds.top + at.y);
    MouseButton(right, true);
}

void ChooseSettingsFromOpenMenu(const Process& program) {
    EXPECT_TRUE(WaitFor([&] { return program.VisibleWindowWithClass(kMenuClass) != nullptr; }))
        << "the menu did not open";
    TapKey(VK_DOWN);
    TapKey(VK_RETURN);
}

HWND OpenSettingsFromBar(const Process& program, HWND bar) {
    const RECT place = WindowRect(bar);
    Click(place.left + 50, place.top + 21, true);
    ChooseSettingsFromOpenMenu(program);
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = program.VisibleWindowWithClass(kSettingsClass)); })) {
        ADD_FAILURE() << "no settings window";
        return nullptr;
    }
    // Shown means painted: the button face has replaced the black screen.
    EXPECT_TRUE(WaitFor([&] {
        const RECT r = WindowRect(window);
        const RECT spot{r.left + 100, r.bottom - 8, r.left + 101, r.bottom - 7};
        return ScreenPixels(spot).rgb[0] != 0;
    })) << "the settings window was not painted";
    return window;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitPumping(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return WaitFor(
        [&] {
            PumpMessages();
            return condition();
        },
        timeout);
}

DriverWindow::DriverWindow(bool visible, POINT at) {
    static const ATOM windowClass = [] {
        WNDCLASSW c{};
        c.lpfnWndProc = DefWindowProcW;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        c.lpszClassName = L"OruvelE2EDriverWindow";
        return RegisterClassW(&c);
    }();
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(windowClass), L"driver",
                              WS_POPUP | (visible ? WS_VISIBLE : 0), at.x, at.y, 80, 40, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window_, nullptr) << "cannot create the driver's window";
}

DriverWindow::~DriverWindow() {
    DestroyWindow(window_);
}

void TakeForeground(const DriverWindow& window) {
    SetForegroundWindow(window.get());
    EXPECT_TRUE(WaitPumping([&] { return GetForegroundWindow() == window.get(); }))
        << "the driver's window did not become the foreground window; it is "
        << GetForegroundWindow();
}

}  // namespace e2e

namespace e2e {

namespace {

constexpr wchar_t kWineAppKey[] = L"Software\\Wine\\AppDefaults\\oruvel.exe";
constexpr wchar_t kWineX11Key[] = L"Software\\Wine\\AppDefaults\\oruvel.exe\\X11 Driver";

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

NOTIFYICONDATAW KeeperRecord(HWND window) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = window;
    record.uID = 1;
    return record;
}

}  // namespace

UnmanagedWindows::UnmanagedWindows()
    : createdAppKey_(!KeyExists(kWineAppKey)), createdX11Key_(!KeyExists(kWineX11Key)) {
    DWORD size = sizeof previous_;
    hadValue_ = RegGetValueW(HKEY_CURRENT_USER, kWineX11Key, L"Managed", RRF_RT_REG_SZ, nullptr,
                             previous_, &size) == ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, kWineX11Key, L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
}

// Puts back what was there before.
UnmanagedWindows::~UnmanagedWindows() {
    if (hadValue_) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kWineX11Key, L"Managed", REG_SZ, previous_,
                        static_cast<DWORD>((lstrlenW(previous_) + 1) * sizeof(wchar_t)));
        return;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineX11Key, L"Managed");
    if (createdX11Key_) {
        RegDeleteKeyW(HKEY_CURRENT_USER, kWineX11Key);
    }
    if (createdAppKey_) {
        RegDeleteKeyW(HKEY_CURRENT_USER, kWineAppKey);
    }
}

KeeperTrayIcon::KeeperTrayIcon() {
    window_ =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW record = KeeperRecord(window_);
    record.uFlags = NIF_ICON;
    record.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    Shell_NotifyIconW(NIM_ADD, &record);
}

KeeperTrayIcon::~KeeperTrayIcon() {
    NOTIFYICONDATAW record = KeeperRecord(window_);
    Shell_NotifyIconW(NIM_DELETE, &record);
    DestroyWindow(window_);
}

}  // namespace e2e
