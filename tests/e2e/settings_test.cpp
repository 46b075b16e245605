// config.ini on the real program: the defaults of a first start, values written by hand, what a
// save keeps, files it cannot read or must not write, a folder of any name, and the save when
// the logon session ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

// The settings file's section and keys as a user types them; the file holds them in GBK.
const wchar_t kSection[] = L"[\u7A0B\u5E8F\u914D\u7F6E]";     // [程序配置]
const wchar_t kOnTop[] = L"\u524D\u7AEF\u663E\u793A";         // 前端显示
const wchar_t kColour[] = L"\u6307\u793A\u706F\u989C\u8272";  // 指示灯颜色
const wchar_t kLeft[] = L"\u5DE6\u8FB9";                      // 左边
const wchar_t kTop[] = L"\u9876\u8FB9";                       // 顶边
const wchar_t kYes[] = L"\u662F";                             // 是
const wchar_t kNo[] = L"\u5426";                              // 否

constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar";
// Without a window manager, Wine waits 2 s for X to withdraw the hidden bar and 2 s more for its
// tray icon's window; a save of a 50 MB file comes on top of that.
constexpr auto kExitTimeout = 15000ms;

std::string Line(const wchar_t* key, const std::string& value, const char* end = "\r\n") {
    return Gbk(key) + "=" + value + end;
}

// What a save into a file without the section writes, after the file's own bytes.
std::string Section(bool onTop, int colour, int left, int top) {
    return Gbk(kSection) + "\r\n" + Line(kOnTop, Gbk(onTop ? kYes : kNo)) +
           Line(kColour, std::to_string(colour)) + Line(kLeft, std::to_string(left)) +
           Line(kTop, std::to_string(top));
}

int CentredLeft() {
    return (GetSystemMetrics(SM_CXSCREEN) - 100) / 2;
}

RECT WorkArea() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// How many names the file has.
DWORD NamesOf(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (file != INVALID_HANDLE_VALUE) {
        GetFileInformationByHandle(file, &info);
        CloseHandle(file);
    }
    return info.nNumberOfLinks;
}

// The names in a folder, sorted.
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Listed(const std::vector<std::wstring>& names) {
    std::string list;
    for (const std::wstring& name : names) {
        list += (list.empty() ? "" : ", ") + Gbk(name.c_str());
    }
    return list;
}

// A process id that no process has now.
DWORD UnusedProcessId() {
    for (DWORD id = 0x7FFFFFF0;; id -= 4) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        if (!process) {
            return id;
        }
        CloseHandle(process);
    }
}

// Bytes shown so that a failure can be read: printable ASCII as it is, the rest as \xNN.
std::string Escaped(const std::string& bytes, size_t from = 0, size_t count = 160) {
    std::string out;
    for (size_t i = from; i < bytes.size() && i < from + count; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// Compares two files' bytes; on a difference tells where it starts and shows both from there,
// so that a 50 MB file does not flood the log.
testing::AssertionResult SameBytes(const std::string& seen, const std::string& expected) {
    if (seen == expected) {
        return testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < seen.size() && at < expected.size() && seen[at] == expected[at]) {
        ++at;
    }
    const size_t from = at > 40 ? at - 40 : 0;
    return testing::AssertionFailure()
           << "the bytes differ from offset " << at << " (sizes: seen " << seen.size()
           << ", expected " << expected.size() << ")\n  expected: " << Escaped(expected, from)
           << "\n  seen:     " << Escaped(seen, from);
}

// A file's attributes and last write time, to show that nothing wrote it.
struct FileFacts {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    uint64_t written = 0;
};

FileFacts FactsOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return {};
    }
    return {data.dwFileAttributes, uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                       data.ftLastWriteTime.dwLowDateTime};
}

// Pseudo-random bytes, the same on every run.
std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

class SettingsFileTest : public LockKeysOff {
  protected:
    void TearDown() override {
        LockKeysOff::TearDown();
        program_.reset();  // ends the program before its folder goes
        folder_.reset();
    }

    // A fresh folder with the exe, and `config` as its config.ini when given.
    void NewFolder(const std::optional<std::string>& config = std::nullopt,
                   const std::wstring& folderName = L"") {
        program_.reset();
        folder_ = std::make_unique<ProgramFolder>(L"oruvel.exe", folderName);
        if (config) {
            ASSERT_TRUE(WriteFileBytes(folder_->config(), *config)) << "cannot write config.ini";
        }
    }

    // Starts the program and waits for its bar: shown and painted, or only shown when its place
    // is off the screen.
    HWND Start(bool onScreen = true) {
        program_ = std::make_unique<Process>(folder_->exe());
        HWND bar = nullptr;
        if (onScreen) {
            bar = program_->WaitForBar();
        } else {
            WaitFor([&] { return (bar = program_->VisibleWindowWithClass(kBarClass)) != nullptr; },
                    8000ms);
        }
        EXPECT_NE(bar, nullptr) << "no visible bar window";
        return bar;
    }

    // Moves the bar from outside, as a drag would.
    static void MoveBar(HWND bar, int left, int top) {
        SetWindowPos(bar, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(WaitFor([&] {
            const RECT r = WindowRect(bar);
            return r.left == left && r.top == top;
        })) << "the bar did not move to "
            << left << "," << top;
    }

    void CloseAndWaitForExit(HWND bar) {
        PostMessageW(bar, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_->ExitCode(kExitTimeout), 0);
    }

    std::string Config() const { return ReadFileBytes(folder_->config()); }

    // Files in the program's folder other than the exe and config.ini: what a save left behind.
    std::vector<std::wstring> StrayFiles() const {
        std::vector<std::wstring> stray = NamesIn(folder_->path());
        std::erase_if(stray, [](const std::wstring& name) {
            return name == L"oruvel.exe" || name == L"config.ini";
        });
        return stray;
    }

    void ExpectNoStrayFiles() const {
        const std::vector<std::wstring> stray = StrayFiles();
        EXPECT_TRUE(stray.empty()) << "left in the folder: " << Listed(stray);
    }

    void ExpectPlace(HWND bar, int left, int top, bool onTop) {
        const RECT r = WindowRect(bar);
        EXPECT_EQ(r.left, left) << "left edge";
        EXPECT_EQ(r.top, top) << "top edge";
        EXPECT_EQ(IsTopmost(bar), onTop) << "always on top";
    }

    // Switches Caps Lock on and looks for the Caps lamp's text in `rgb`; Caps Lock ends off.
    void ExpectLitColour(HWND bar, uint32_t rgb) {
        SetLock(VK_CAPITAL, true);
        EXPECT_TRUE(WaitFor([&] { return LampShowsColour(bar, LampColumns::Caps, rgb); }))
            << "the lit Caps lamp shows no text near " << std::hex << rgb;
        SetLock(VK_CAPITAL, false);
    }

    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<Process> program_;
};

}  // namespace

TEST_F(SettingsFileTest, FirstStartWithoutAFileShowsTheDefaultsAndClosingWritesFiveLines) {
    const struct {
        const char* how;
        bool escape;
    } closes[] = {{"Esc on the active bar", true}, {"WM_CLOSE", false}};
    for (const auto& close : closes) {
        SCOPED_TRACE(close.how);
        NewFolder();
        HWND bar = Start();
        ASSERT_NE(bar, nullptr);
        ExpectPlace(bar, CentredLeft(), 0, true);
        ExpectLitColour(bar, 0x00FF00);
        EXPECT_FALSE(FileExists(folder_->config())) << "written before the end";

        if (close.escape) {
            const RECT r = WindowRect(bar);
            Click(r.left + 50, r.top + 21);  // the bottom strip: activates the bar
            ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == bar; }))
                << "the bar is not active";
            TapKey(VK_ESCAPE);
            EXPECT_EQ(program_->ExitCode(kExitTimeout), 0);
        } else {
            CloseAndWaitForExit(bar);
        }
        // 1024 pixels wide: [程序配置] 前端显示=是 指示灯颜色=65280 左边=462 顶边=0
        EXPECT_TRUE(SameBytes(Config(), Section(true, 65280, CentredLeft(), 0)));
        ExpectNoStrayFiles();
    }
}

TEST_F(SettingsFileTest, ValuesWrittenByHandAreAppliedAndWrittenBackAsTheyTookEffect) {
    // A place that no monitor shows goes into the work area; one that shows enough to grab stays.
    const RECT work = WorkArea();
    const std::string quotedYes = "  \"" + Gbk(kYes) + "\"  ";
    const std::string fullWidthBlue = Gbk(L"\uFF11\uFF16\uFF17\uFF11\uFF11\uFF16\uFF18\uFF10");
    const std::string fullWidthTop = Gbk(L"\u3000\uFF11\uFF12\uFF10");  // ideographic space
    const struct {
        const char* name;
        std::string onTop, colour, left, top;  // as written by hand
        int appliedLeft, appliedTop;
        bool appliedOnTop;
        std::optional<uint32_t> litRgb;  // the lamp text's colour, for a bar on the screen
        std::string savedOnTop;
        int savedColour;
    } cases[] = {
        {"a place, red (255) and 否", Gbk(kNo), "255", "300", "200", 300, 200, false, 0xFF0000,
         Gbk(kNo), 255},
        {"blanks and quotes around 是, hexadecimal text, beyond the clamp: back on the screen",
         quotedYes, "0x00FF00", "100000", "-5", work.right - 100, work.top, true, std::nullopt,
         Gbk(kYes), 0},
        {"a left edge of 5000: back on the screen", Gbk(kYes), "255", "5000", "100",
         work.right - 100, 100, true, 0xFF0000, Gbk(kYes), 255},
        {"partly off the screen, but enough to grab: left there", Gbk(kNo), "255", "-40", "-10",
         -40, -10, false, std::nullopt, Gbk(kNo), 255},
        {"an empty 前端显示, full-width digits, a number beyond any int", "", fullWidthBlue, "1e30",
         fullWidthTop, 0, 120, false, 0x0000FF, Gbk(kNo), 16711680},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string handWritten = "; by hand\r\n" + Gbk(kSection) + "\r\n" +
                                        Line(kOnTop, c.onTop) + Line(kColour, c.colour) +
                                        Line(kLeft, c.left) + Line(kTop, c.top);
        NewFolder(handWritten);
        const bool onScreen = c.litRgb.has_value();
        HWND bar = Start(onScreen);
        ASSERT_NE(bar, nullptr);
        ExpectPlace(bar, c.appliedLeft, c.appliedTop, c.appliedOnTop);
        if (c.litRgb) {
            ExpectLitColour(bar, *c.litRgb);
        }
        CloseAndWaitForExit(bar);
        const std::string saved =
            "; by hand\r\n" + Gbk(kSection) + "\r\n" + Line(kOnTop, c.savedOnTop) +
            Line(kColour, std::to_string(c.savedColour)) +
            Line(kLeft, std::to_string(c.appliedLeft)) + Line(kTop, std::to_string(c.appliedTop));
        EXPECT_TRUE(SameBytes(Config(), saved));
    }
}

TEST_F(SettingsFileTest, ASaveKeepsEveryOtherByteOfTheFile) {
    // Line feeds only, a comment, a section before with a 左边 of its own, a key of the user's,
    // the program's 左边 spelled with blanks, a blank line and a last line without an end.
    const std::string before = "; " + Gbk(L"\u7528\u6237\u7684\u6CE8\u91CA") + "\n" +  // 用户的注释
                               "[" + Gbk(L"\u5176\u4ED6") + "]\n" +                    // [其他]
                               Line(kLeft, "999", "\n") + Gbk(kSection) + "\n" +
                               Gbk(L"\u7528\u6237\u952E=\u4FDD\u7559") + "\n" +  // 用户键=保留
                               " " + Gbk(kLeft) + " = 10 \n" + "\n" + "[tail]\n" + "x=1";
    NewFolder(before);
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ExpectPlace(bar, 10, 0, true);  // the 左边 of the other section is not the program's
    MoveBar(bar, 140, 70);
    CloseAndWaitForExit(bar);

    // The 左边 line rewritten in place; the missing keys after the section's last line, with the
    // file's own line end.
    const std::string after =
        "; " + Gbk(L"\u7528\u6237\u7684\u6CE8\u91CA") + "\n" + "[" + Gbk(L"\u5176\u4ED6") + "]\n" +
        Line(kLeft, "999", "\n") + Gbk(kSection) + "\n" + Gbk(L"\u7528\u6237\u952E=\u4FDD\u7559") +
        "\n" + Line(kLeft, "140", "\n") + Line(kOnTop, Gbk(kYes), "\n") +
        Line(kColour, "65280", "\n") + Line(kTop, "70", "\n") + "\n" + "[tail]\n" + "x=1";
    EXPECT_TRUE(SameBytes(Config(), after));
    ExpectNoStrayFiles();
}

TEST_F(SettingsFileTest, AReadOnlyFileIsLeftAsItWasAndAHiddenOneStaysHidden) {
    const std::string before = Gbk(kSection) + "\r\n" + Line(kLeft, "200") + Line(kTop, "100");
    const struct {
        const char* name;
        DWORD attribute;
        bool written;
    } cases[] = {{"read-only", FILE_ATTRIBUTE_READONLY, false},
                 {"hidden", FILE_ATTRIBUTE_HIDDEN, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewFolder(before);
        ASSERT_TRUE(SetFileAttributesW(folder_->config().c_str(), c.attribute));
        const FileFacts was = FactsOf(folder_->config());
        ASSERT_TRUE(was.attributes & c.attribute) << "this file system keeps no such attribute";
        HWND bar = Start();
        ASSERT_NE(bar, nullptr);
        ExpectPlace(bar, 200, 100, true);
        MoveBar(bar, 260, 130);
        CloseAndWaitForExit(bar);

        const FileFacts is = FactsOf(folder_->config());
        EXPECT_EQ(is.attributes, was.attributes)
            << "the attributes 0x" << std::hex << was.attributes << " became 0x" << is.attributes;
        if (c.written) {
            EXPECT_TRUE(SameBytes(Config(), Gbk(kSection) + "\r\n" + Line(kLeft, "260") +
                                                Line(kTop, "130") + Line(kOnTop, Gbk(kYes)) +
                                                Line(kColour, "65280")));
        } else {
            EXPECT_TRUE(SameBytes(Config(), before));
            EXPECT_EQ(is.written, was.written) << "the last write time changed";
        }
        ExpectNoStrayFiles();
    }
}

TEST_F(SettingsFileTest, BadFilesGiveTheDefaultsAndASaveNeverLosesTheirBytes) {
    const std::string settings = Gbk(kSection) + "\r\n" + Line(kLeft, "123") + Line(kTop, "45");
    std::string garbage = "; noise follows\r\n" + Noise(64 * 1024, 7);
    garbage.back() = 'x';  // no line end at the end: the section comes after a new one
    const std::string fiftyMegabytes =
        "; fifty megabytes of noise\r\n" + Noise(50 << 20, 11) + "\r\n" + settings;
    std::string noLineEnds;
    while (noLineEnds.size() < (1 << 20)) {
        noLineEnds += "a=b ";
    }

    enum class Kind { kDirectory, kHeldOpen, kFile };
    const struct {
        const char* name;
        Kind kind;
        std::string bytes;       // the file's, for kHeldOpen and kFile
        bool hasSettings;        // whether the program can read settings from it
        std::string savedBytes;  // what a save after the bar went to 130,50 leaves
    } cases[] = {
        {"a directory named config.ini", Kind::kDirectory, "", false, ""},
        {"a file held open exclusively", Kind::kHeldOpen, settings, false, settings},
        {"binary noise", Kind::kFile, garbage, false,
         garbage + "\r\n" + Section(true, 65280, 130, 50)},
        {"NUL bytes only", Kind::kFile, std::string(1 << 20, '\0'), false,
         std::string(1 << 20, '\0') + "\r\n" + Section(true, 65280, 130, 50)},
        {"one megabyte without a line end", Kind::kFile, noLineEnds, false,
         noLineEnds + "\r\n" + Section(true, 65280, 130, 50)},
        {"50 MB with the settings at its end", Kind::kFile, fiftyMegabytes, true,
         fiftyMegabytes.substr(0, fiftyMegabytes.size() - settings.size()) + Gbk(kSection) +
             "\r\n" + Line(kLeft, "130") + Line(kTop, "50") + Line(kOnTop, Gbk(kYes)) +
             Line(kColour, "65280")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NewFolder(c.kind == Kind::kDirectory ? std::nullopt : std::optional(c.bytes));
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.kind == Kind::kDirectory) {
            ASSERT_TRUE(CreateDirectoryW(folder_->config().c_str(), nullptr));
        } else if (c.kind == Kind::kHeldOpen) {
            held = CreateFileW(folder_->config().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE) << "cannot hold config.ini open";
        }

        HWND bar = Start();
        if (bar) {
            if (c.hasSettings) {
                ExpectPlace(bar, 123, 45, true);
            } else {
                ExpectPlace(bar, CentredLeft(), 0, true);
            }
            MoveBar(bar, 130, 50);
            CloseAndWaitForExit(bar);
        }
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
        }

        if (c.kind == Kind::kDirectory) {
            const DWORD attributes = GetFileAttributesW(folder_->config().c_str());
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY))
                << "the directory is gone";
        } else {
            EXPECT_TRUE(SameBytes(Config(), c.savedBytes));
        }
        ExpectNoStrayFiles();
    }
}

TEST_F(SettingsFileTest, AProgramFolderWithNonLatinCharactersWorks) {
    // 设置, Greek, katakana, and 乗, whose second GBK byte is 0x5C, a backslash. None of them is
    // in code page 1252 (the C.UTF-8 locale's); all are in GBK, since Wine names the Unix files
    // in the locale's character set and could not make the folder otherwise.
    const std::wstring folderName = L"-\u8BBE\u7F6E-\u03A9\u03BB-\u30C6\u30B9\u30C8-\u4E57";
    NewFolder(Gbk(kSection) + "\r\n" + Line(kColour, "255") + Line(kLeft, "210") + Line(kTop, "33"),
              folderName);
    ASSERT_TRUE(FileExists(folder_->exe())) << "the file system takes no such folder name";
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ExpectPlace(bar, 210, 33, true);
    ExpectLitColour(bar, 0xFF0000);
    MoveBar(bar, 220, 44);
    CloseAndWaitForExit(bar);
    EXPECT_TRUE(SameBytes(Config(), Gbk(kSection) + "\r\n" + Line(kColour, "255") +
                                        Line(kLeft, "220") + Line(kTop, "44") +
                                        Line(kOnTop, Gbk(kYes))));
    ExpectNoStrayFiles();
}

TEST_F(SettingsFileTest, TheEndOfTheLogonSessionSavesWhileTheProgramRunsOn) {
    NewFolder();
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    auto send = [&](UINT message, WPARAM wParam) {
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutW(bar, message, wParam, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                                        &result))
            << "the bar did not answer message " << message;
        return result;
    };

    MoveBar(bar, 150, 60);
    EXPECT_EQ(send(WM_QUERYENDSESSION, 0), static_cast<DWORD_PTR>(TRUE))
        << "the program does not let the session end";
    send(WM_ENDSESSION, FALSE);  // the session goes on after all
    EXPECT_FALSE(FileExists(folder_->config())) << "written although the session did not end";

    send(WM_QUERYENDSESSION, 0);
    send(WM_ENDSESSION, TRUE);
    EXPECT_TRUE(SameBytes(Config(), Section(true, 65280, 150, 60)));
    EXPECT_TRUE(program_->Running()) << "the program ended by itself";
    EXPECT_TRUE(IsWindowVisible(bar));
    ExpectNoStrayFiles();

    // A later end that is called off writes nothing; the orderly end then saves the newest place.
    MoveBar(bar, 170, 80);
    send(WM_ENDSESSION, FALSE);
    EXPECT_TRUE(SameBytes(Config(), Section(true, 65280, 150, 60)));
    CloseAndWaitForExit(bar);
    EXPECT_TRUE(SameBytes(Config(), Section(true, 65280, 170, 80)));
}

TEST_F(SettingsFileTest, ASymbolicLinkStaysALinkAndTheFileItLeadsToIsUpdated) {
    // A user keeps the settings in a synced folder and links config.ini to them.
    NewFolder();
    const std::wstring synced = folder_->path() + L"\\synced";
    ASSERT_TRUE(CreateDirectoryW(synced.c_str(), nullptr));
    const std::wstring target = synced + L"\\oruvel.ini";
    ASSERT_TRUE(
        WriteFileBytes(target, Gbk(kSection) + "\r\n" + Line(kLeft, "200") + Line(kTop, "100")));
    ASSERT_TRUE(MakeSymbolicLink(folder_->config(), target))
        << "this system makes no symbolic link";
    // The link goes before the folder, which could not be removed with it under Wine.
    const struct LinkRemover {
        std::wstring link;
        ~LinkRemover() { RemoveSymbolicLink(link); }
    } linkRemover{folder_->config()};
    ASSERT_TRUE(IsSymbolicLink(folder_->config()));

    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ExpectPlace(bar, 200, 100, true);
    MoveBar(bar, 260, 130);
    CloseAndWaitForExit(bar);

    const std::string saved = Gbk(kSection) + "\r\n" + Line(kLeft, "260") + Line(kTop, "130") +
                              Line(kOnTop, Gbk(kYes)) + Line(kColour, "65280");
    EXPECT_TRUE(SameBytes(ReadFileBytes(target), saved)) << "the file the link leads to";
    EXPECT_TRUE(IsSymbolicLink(folder_->config())) << "config.ini is no longer a link";
    EXPECT_TRUE(SameBytes(Config(), saved)) << "read through the link";
    EXPECT_EQ(Listed(NamesIn(folder_->path())), "config.ini, oruvel.exe, synced");
    EXPECT_EQ(Listed(NamesIn(synced)), "oruvel.ini") << "left beside the file the link leads to";
}

TEST_F(SettingsFileTest, AFileWithTwoNamesIsUpdatedUnderBoth) {
    NewFolder(Gbk(kSection) + "\r\n" + Line(kLeft, "200") + Line(kTop, "100"));
    const std::wstring synced = folder_->path() + L"\\synced";
    ASSERT_TRUE(CreateDirectoryW(synced.c_str(), nullptr));
    const std::wstring otherName = synced + L"\\oruvel.ini";
    ASSERT_TRUE(CreateHardLinkW(otherName.c_str(), folder_->config().c_str(), nullptr))
        << "this file system makes no hard link";
    ASSERT_EQ(NamesOf(folder_->config()), 2u);

    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ExpectPlace(bar, 200, 100, true);
    MoveBar(bar, 260, 130);
    CloseAndWaitForExit(bar);

    const std::string saved = Gbk(kSection) + "\r\n" + Line(kLeft, "260") + Line(kTop, "130") +
                              Line(kOnTop, Gbk(kYes)) + Line(kColour, "65280");
    EXPECT_TRUE(SameBytes(Config(), saved)) << "config.ini";
    EXPECT_TRUE(SameBytes(ReadFileBytes(otherName), saved)) << "its other name";
    EXPECT_EQ(NamesOf(folder_->config()), 2u) << "the names were parted";
    EXPECT_EQ(Listed(NamesIn(folder_->path())), "config.ini, oruvel.exe, synced");
    EXPECT_EQ(Listed(NamesIn(synced)), "oruvel.ini");
}

TEST_F(SettingsFileTest, AUtf8FileIsAppliedAndWrittenBackAsUtf8AndAGbkFileStaysGbk) {
    const struct {
        const char* name;
        std::string (*encode)(const wchar_t*);
        std::string mark;
    } cases[] = {
        {"UTF-8", Utf8, ""},
        {"UTF-8 with its byte-order mark", Utf8, "\xEF\xBB\xBF"},
        {"GBK", Gbk, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto line = [&](const wchar_t* key, const wchar_t* value) {
            return c.encode(key) + "=" + c.encode(value) + "\r\n";
        };
        auto file = [&](const wchar_t* left, const wchar_t* top) {
            return c.mark + c.encode(L"; \u7528\u6237\u7684\u6CE8\u91CA") + "\r\n" +  // 用户的注释
                   c.encode(kSection) + "\r\n" + line(kOnTop, kNo) + line(kColour, L"255") +
                   line(kLeft, left) + line(kTop, top);
        };
        NewFolder(file(L"\uFF13\uFF10\uFF10", L"200"));  // a left edge of 300 in full-width digits
        HWND bar = Start();
        ASSERT_NE(bar, nullptr);
        ExpectPlace(bar, 300, 200, false);
        ExpectLitColour(bar, 0xFF0000);
        MoveBar(bar, 310, 210);
        CloseAndWaitForExit(bar);
        EXPECT_TRUE(SameBytes(Config(), file(L"310", L"210")));
    }
}

TEST_F(SettingsFileTest, ANewFileLeftByACrashedSaveIsRemovedAndNoOtherFile) {
    const std::string before = Gbk(kSection) + "\r\n" + Line(kLeft, "200") + Line(kTop, "100");
    NewFolder(before);
    const std::wstring config = folder_->config();
    const std::wstring leftover = config + L"." + std::to_wstring(UnusedProcessId()) + L".tmp";
    ASSERT_TRUE(WriteFileBytes(leftover, Gbk(kSection) + "\r\n" + Line(kLeft, "1")));
    // Not ours: other names, and the new file of a process that still runs (this one).
    const std::wstring others[] = {
        config + L".tmp",
        config + L".bak",
        config + L".0123.tmp",
        config + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp",
        folder_->path() + L"\\notes.txt",
    };
    for (const std::wstring& other : others) {
        ASSERT_TRUE(WriteFileBytes(other, "kept"));
    }

    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ExpectPlace(bar, 200, 100, true);
    MoveBar(bar, 260, 130);
    CloseAndWaitForExit(bar);

    EXPECT_FALSE(FileExists(leftover)) << "the leftover new file is still there";
    for (const std::wstring& other : others) {
        EXPECT_EQ(ReadFileBytes(other), "kept") << Gbk(other.c_str());
    }
    EXPECT_EQ(StrayFiles().size(), std::size(others)) << Listed(StrayFiles());
    EXPECT_TRUE(SameBytes(Config(), Gbk(kSection) + "\r\n" + Line(kLeft, "260") +
                                        Line(kTop, "130") + Line(kOnTop, Gbk(kYes)) +
                                        Line(kColour, "65280")));
}

TEST_F(SettingsFileTest, AFileBusyForAMomentIsWaitedFor) {
    NewFolder(Gbk(kSection) + "\r\n" + Line(kLeft, "200") + Line(kTop, "100"));
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    MoveBar(bar, 260, 130);

    // Held open as a virus scanner holds it: it can be read, but not replaced.
    HANDLE held = CreateFileW(folder_->config().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PostMessageW(bar, WM_CLOSE, 0, 0);
    // The save writes its new file, then cannot put it in place; it keeps trying and its new file
    // stays, where a save that gave up would have removed it.
    auto newFileThere = [&] { return !StrayFiles().empty(); };
    EXPECT_TRUE(WaitFor(newFileThere, kExitTimeout)) << "the save wrote no new file";
    EXPECT_FALSE(WaitFor([&] { return !newFileThere(); }, 150ms))
        << "the save gave up while the file was busy";
    CloseHandle(held);

    EXPECT_EQ(program_->ExitCode(kExitTimeout), 0);
    EXPECT_TRUE(SameBytes(Config(), Gbk(kSection) + "\r\n" + Line(kLeft, "260") +
                                        Line(kTop, "130") + Line(kOnTop, Gbk(kYes)) +
                                        Line(kColour, "65280")));
    ExpectNoStrayFiles();
}

TEST_F(SettingsFileTest, ADisplayChangeBringsBackABarThatNoMonitorShows) {
    NewFolder();
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    const RECT work = WorkArea();
    const LPARAM screenSize =
        MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        POINT from, to;
    } cases[] = {
        {"the display changed, the bar beyond the lower right",
         WM_DISPLAYCHANGE,
         24,
         screenSize,
         {2000, 1500},
         {work.right - 100, work.bottom - 22}},
        {"the work area changed, the bar left of the screen",
         WM_SETTINGCHANGE,
         SPI_SETWORKAREA,
         0,
         {-500, 300},
         {work.left, 300}},
        {"the display changed, the bar partly off the screen but enough to grab",
         WM_DISPLAYCHANGE,
         24,
         screenSize,
         {-40, 300},
         {-40, 300}},
        {"another setting changed",
         WM_SETTINGCHANGE,
         SPI_SETDESKWALLPAPER,
         0,
         {-500, 300},
         {-500, 300}},
        {"the display changed, the bar above the screen",
         WM_DISPLAYCHANGE,
         24,
         screenSize,
         {150, -300},
         {150, work.top}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MoveBar(bar, c.from.x, c.from.y);
        DWORD_PTR result = 0;
        EXPECT_TRUE(
            SendMessageTimeoutW(bar, c.message, c.wParam, c.lParam, SMTO_NORMAL, 5000, &result))
            << "the bar did not answer";
        EXPECT_TRUE(WaitFor([&] {
            const RECT r = WindowRect(bar);
            return r.left == c.to.x && r.top == c.to.y;
        })) << "the bar is at "
            << WindowRect(bar).left << "," << WindowRect(bar).top << ", not " << c.to.x << ","
            << c.to.y;
    }
    CloseAndWaitForExit(bar);
    EXPECT_TRUE(SameBytes(Config(), Section(true, 65280, 150, work.top)));
}
