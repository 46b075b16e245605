// Ending the program at any moment of its save: with a change to save, the bar is closed and the
// process ended (TerminateProcess) at moments spread across the save. config.ini always holds
// exactly its old bytes or exactly its new ones, and once the next save has run no temporary file
// of ours (config.ini.<pid>.tmp) is left beside it.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

using namespace e2e;

namespace {

constexpr wchar_t kBarClass[] = L"OruvelIndicatorBar";
constexpr UINT kTrayIconId = 100;  // the id that the bar's tray notifications carry

// Waits until the moment `at` (in Now's seconds), to well within a millisecond.
void WaitUntil(double at) {
    while (at - Now() > 0.003) {
        Sleep(1);
    }
    while (Now() < at) {
    }
}

// config.ini as every save of these cases writes it: the bar at `left`, `top`, the other
// settings at their defaults.
std::string ConfigWithPlace(int left, int top) {
    return Gbk(L"[\u7A0B\u5E8F\u914D\u7F6E]\r\n"            // [程序配置]
               L"\u524D\u7AEF\u663E\u793A=\u662F\r\n"       // 前端显示=是
               L"\u6307\u793A\u706F\u989C\u8272=65280\r\n"  // 指示灯颜色=65280
               L"\u5DE6\u8FB9=") +                          // 左边=
           std::to_string(left) +
           "\r\n" + Gbk(L"\u9876\u8FB9=") + std::to_string(top) + "\r\n";
}

// The last write time of a file, learnt without opening it: under Wine an open handle, whatever
// it shares, makes the program's rename over the file fail.
uint64_t LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime;
}

// When a save was seen after the close request, in seconds: our temporary file appeared, the
// file was replaced, the process had ended. Negative when not seen.
struct SaveSeen {
    double temporary = -1;
    double saved = -1;
    double exited = -1;
};

class KillDuringSave : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFileBytes(folder_.config(), ConfigWithPlace(left_, top_)));
    }

    // Whether a temporary file of ours is in the folder that is not among `earlier`.
    bool NewTemporaryFile(const std::vector<std::wstring>& earlier) const {
        for (const std::wstring& name : TemporaryFiles()) {
            if (std::find(earlier.begin(), earlier.end(), name) == earlier.end()) {
                return true;
            }
        }
        return false;
    }

    // The temporary files of ours in the folder: config.ini.<pid>.tmp.
    std::vector<std::wstring> TemporaryFiles() const {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder_.path() + L"\\config.ini.*.tmp").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) {
            return found;
        }
        do {
            found.push_back(entry.cFileName);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
        return found;
    }

    // Starts the program, waits for its bar and moves it to a new place: a change to save.
    // Returns what config.ini will hold after the save.
    std::string StartWithAChange() {
        ++left_;
        top_ = 50 + left_ % 2;
        program_ = std::make_unique<Process>(folder_.exe());
        EXPECT_TRUE(
            WaitFor([&] { return (bar_ = program_->VisibleWindowWithClass(kBarClass)) != nullptr; },
                    10000ms))
            << "no bar";
        SetWindowPos(bar_, nullptr, left_, top_, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(WaitFor([&] {
            const RECT r = WindowRect(bar_);
            return r.left == left_ && r.top == top_;
        })) << "the bar did not move";
        return ConfigWithPlace(left_, top_);
    }

    // Asks the bar to close and watches the save from outside, polling as fast as it can without
    // opening config.ini, until the process has ended.
    SaveSeen CloseAndWatch() {
        const uint64_t written = LastWriteTime(folder_.config());
        const std::vector<std::wstring> earlier = TemporaryFiles();
        const double start = Now();
        PostMessageW(bar_, WM_CLOSE, 0, 0);
        SaveSeen seen;
        while (seen.exited < 0 && Now() - start < 20) {
            const double t = Now() - start;
            if (seen.temporary < 0 && NewTemporaryFile(earlier)) {
                seen.temporary = t;
            }
            if (seen.saved < 0 && LastWriteTime(folder_.config()) != written) {
                seen.saved = t;
            }
            if (WaitForSingleObject(program_->handle(), 0) == WAIT_OBJECT_0) {
                seen.exited = t;
            }
        }
        return seen;
    }

    // Asks the bar to close and waits until its temporary file is seen (not one that an earlier
    // kill left), then `delay` seconds more. A save too quick to be seen is waited for to its end.
    void CloseAndWaitPastTheTemporaryFile(double delay) {
        const std::vector<std::wstring> earlier = TemporaryFiles();
        const double start = Now();
        PostMessageW(bar_, WM_CLOSE, 0, 0);
        while (Now() - start < 10 && WaitForSingleObject(program_->handle(), 0) == WAIT_TIMEOUT) {
            if (NewTemporaryFile(earlier)) {
                WaitUntil(Now() + delay);
                return;
            }
        }
    }

    // Ends the process now; true when it had ended by itself, its save run to its end.
    bool Kill() {
        const bool endedBefore = WaitForSingleObject(program_->handle(), 0) == WAIT_OBJECT_0;
        TerminateProcess(program_->handle(), 1);
        EXPECT_EQ(WaitForSingleObject(program_->handle(), 10000), WAIT_OBJECT_0)
            << "the process did not end";
        // Wine's tray keeps the icons of ended processes until the mouse passes over them, and
        // later cases look for their own icon there.
        NOTIFYICONDATAW record{};
        record.cbSize = sizeof record;
        record.hWnd = bar_;
        record.uID = kTrayIconId;
        Shell_NotifyIconW(NIM_DELETE, &record);
        return endedBefore;
    }

    UnmanagedWindows unmanaged_;
    KeeperTrayIcon keeper_;
    ProgramFolder folder_;
    std::unique_ptr<Process> program_;
    HWND bar_ = nullptr;
    int left_ = 100, top_ = 50;
};

}  // namespace

TEST_F(KillDuringSave, TheFileIsAlwaysExactlyItsOldBytesOrItsNewOnes) {
    constexpr int kCalibrations = 3, kKills = 100;
    std::string current = ReadFileBytes(folder_.config());

    // When the save happens after the close request, and how long it takes.
    double firstSign = 1e9, lastSaved = 0, longestWrite = 0;
    for (int i = 0; i < kCalibrations; ++i) {
        const std::string next = StartWithAChange();
        const SaveSeen seen = CloseAndWatch();
        ASSERT_GE(seen.exited, 0) << "the program did not end after the close request";
        ASSERT_GE(seen.saved, 0) << "the close request saved nothing";
        ASSERT_EQ(ReadFileBytes(folder_.config()), next) << "the save wrote something else";
        current = next;
        const double begun = seen.temporary >= 0 ? seen.temporary : seen.saved;
        firstSign = std::min(firstSign, begun);
        lastSaved = std::max(lastSaved, seen.saved);
        longestWrite = std::max(longestWrite, seen.saved - begun);
        std::printf(
            "calibration: temporary file seen %.1f ms, file replaced %.1f ms, process "
            "ended %.1f ms after the close request\n",
            seen.temporary * 1000, seen.saved * 1000, seen.exited * 1000);
    }
    // Half of the moments follow the close request, from before the first sign of the save to
    // after the last; half follow the first sight of the temporary file, most of them early in
    // its write and rename.
    const double margin = std::max(0.02, lastSaved - firstSign);
    const double from = std::max(0.0, firstSign - 2 * margin), to = lastSaved + margin;
    const double writeSpan = std::max(0.002, 1.5 * longestWrite);

    int oldBytes = 0, newBytes = 0, temporaryLeft = 0, endedFirst = 0;
    std::vector<std::string> broken;
    for (int kill = 0; kill < kKills; ++kill) {
        const std::string next = StartWithAChange();
        const double step = (kill / 2) / (kKills / 2 - 1.0);  // 0 .. 1
        const std::vector<std::wstring> temporaryBefore = TemporaryFiles();
        if (kill % 2 == 0) {
            const double start = Now();
            PostMessageW(bar_, WM_CLOSE, 0, 0);
            WaitUntil(start + from + step * (to - from));
        } else {
            CloseAndWaitPastTheTemporaryFile(step * step * writeSpan);
        }
        endedFirst += Kill();

        const std::string bytes = ReadFileBytes(folder_.config());
        if (bytes == current) {
            ++oldBytes;
        } else if (bytes == next) {
            ++newBytes;
            current = next;
        } else {
            broken.push_back("kill " + std::to_string(kill) + " left " +
                             std::to_string(bytes.size()) + " bytes");
            current = bytes;
        }
        temporaryLeft += NewTemporaryFile(temporaryBefore);
    }
    std::printf(
        "%d kills: %d left the old bytes, %d the new ones, none anything else: %zu; %d "
        "left a temporary file of ours (ended between writing it and the rename), %d came "
        "after the program had ended\n",
        kKills, oldBytes, newBytes, broken.size(), temporaryLeft, endedFirst);
    EXPECT_TRUE(broken.empty()) << broken.size() << " kills left a file that is neither the old "
                                << "nor the new, first: " << broken.front();
    // The moments are spread across the save: some came before it, some after.
    EXPECT_GT(oldBytes, 0) << "no kill came before the save";
    EXPECT_GT(newBytes, 0) << "no kill came after the save";
}

TEST_F(KillDuringSave, TheNextSaveLeavesNoTemporaryFileOfOurs) {
    // Ends the program right after its temporary file appears, until one is left behind.
    std::vector<std::wstring> left;
    for (int kill = 0; kill < 20 && left.empty(); ++kill) {
        StartWithAChange();
        CloseAndWaitPastTheTemporaryFile(0);
        Kill();
        left = TemporaryFiles();
    }
    ASSERT_FALSE(left.empty()) << "no kill left a temporary file: the case shows nothing";

    const std::string next = StartWithAChange();
    const SaveSeen seen = CloseAndWatch();
    ASSERT_GE(seen.exited, 0) << "the program did not end after the close request";
    EXPECT_EQ(ReadFileBytes(folder_.config()), next) << "the save wrote something else";
    const std::vector<std::wstring> still = TemporaryFiles();
    EXPECT_TRUE(still.empty()) << still.size() << " temporary file(s) of ours left after the next "
                               << "save, first " << Gbk(still.empty() ? L"" : still[0].c_str());
}
