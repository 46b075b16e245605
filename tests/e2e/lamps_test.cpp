// The lamps on screen follow the lock keys: the poll worker, its replacement by the watchdog
// when the worker is ended from outside, the fallback poll when no thread can be started, and
// the catching up after the bar was hidden.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each lamp with its lock key.
struct LampKey {
    const char* name;
    WORD key;
    e2e::LampColumns columns;
};
constexpr std::array<LampKey, 3> kLamps{{
    {"Num", VK_NUMLOCK, e2e::LampColumns::Num},
    {"Caps", VK_CAPITAL, e2e::LampColumns::Caps},
    {"Scroll", VK_SCROLL, e2e::LampColumns::Scroll},
}};
enum LampIndex { kNum, kCaps, kScroll };

using LampStates = std::array<bool, 3>;  // lit or not, Num, Caps, Scroll
using e2e::LampLook;

LampLook LookOf(HWND bar, const LampKey& lamp) {
    return e2e::LookOfLamp(bar, lamp.columns);
}

std::string Describe(const LampStates& states) {
    std::string text;
    for (size_t i = 0; i < kLamps.size(); ++i) {
        text += std::string(i ? ", " : "") + kLamps[i].name + (states[i] ? " lit" : " unlit");
    }
    return text;
}

std::string DescribeScreen(HWND bar) {
    if (!IsWindowVisible(bar)) {
        return "the bar is hidden";
    }
    std::string text;
    for (size_t i = 0; i < kLamps.size(); ++i) {
        const LampLook look = LookOf(bar, kLamps[i]);
        text += std::string(i ? ", " : "") + kLamps[i].name +
                (look == LampLook::Lit     ? " lit"
                 : look == LampLook::Unlit ? " unlit"
                                           : " unclear");
    }
    return text;
}

bool LampsShow(HWND bar, const LampStates& expected) {
    for (size_t i = 0; i < kLamps.size(); ++i) {
        if (LookOf(bar, kLamps[i]) != (expected[i] ? LampLook::Lit : LampLook::Unlit)) {
            return false;
        }
    }
    return true;
}

testing::AssertionResult LampsBecome(HWND bar, const LampStates& expected,
                                     std::chrono::milliseconds timeout = 5000ms) {
    if (e2e::WaitFor([&] { return LampsShow(bar, expected); }, timeout)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "expected " << Describe(expected) << "; seen " << DescribeScreen(bar);
}

// The threads of the process that are still running.
std::vector<DWORD> RunningThreads(DWORD processId) {
    std::vector<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return threads;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) {
            continue;
        }
        // A thread that has ended may still be listed while a handle to it is open.
        HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, entry.th32ThreadID);
        if (thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
            threads.push_back(entry.th32ThreadID);
        }
        if (thread) {
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return threads;
}

// The program's running threads besides the bar's own (user-interface) thread.
std::vector<DWORD> OtherThreads(const e2e::Process& program, HWND bar) {
    const DWORD uiThread = GetWindowThreadProcessId(bar, nullptr);
    std::vector<DWORD> others;
    for (DWORD id : RunningThreads(program.id())) {
        if (id != uiThread) {
            others.push_back(id);
        }
    }
    return others;
}

std::string ListThreads(const std::vector<DWORD>& threads) {
    std::string text;
    for (DWORD id : threads) {
        text += ' ' + std::to_string(id);
    }
    return "[" + text + " ]";
}

// Terminates the program's one thread besides the bar's, as something outside the program
// might, and waits for another to run in its place.
testing::AssertionResult EndWorkerAndSeeItReplaced(const e2e::Process& program, HWND bar) {
    const std::vector<DWORD> before = OtherThreads(program, bar);
    if (before.size() != 1) {
        return testing::AssertionFailure()
               << "expected one worker besides the bar's thread, seen " << ListThreads(before);
    }
    // Kept open until the end, so the ended thread's id is not given to its successor.
    HANDLE worker = OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, before[0]);
    if (!worker) {
        return testing::AssertionFailure() << "cannot open the worker thread " << before[0];
    }
    TerminateThread(worker, 0);
    const bool ended = WaitForSingleObject(worker, 5000) == WAIT_OBJECT_0;
    std::vector<DWORD> after;
    const bool replaced = ended && e2e::WaitFor([&] {
                              after = OtherThreads(program, bar);
                              return after.size() == 1 && after[0] != before[0];
                          });
    CloseHandle(worker);
    if (!ended) {
        return testing::AssertionFailure() << "the worker " << before[0] << " did not end";
    }
    if (!replaced) {
        return testing::AssertionFailure()
               << "no single new worker after " << before[0]
               << " ended; running besides the bar's thread: " << ListThreads(after);
    }
    return testing::AssertionSuccess();
}

// Every case starts and ends with no lock key held and Num, Caps and Scroll Lock off.
class LampsTest : public e2e::LockKeysOff {
  protected:
    HWND Start(const wchar_t* exeName = L"oruvel.exe") {
        folder_ = std::make_unique<e2e::ProgramFolder>(exeName);
        program_ = std::make_unique<e2e::Process>(folder_->exe());
        HWND bar = program_->WaitForBar();
        EXPECT_NE(bar, nullptr) << "no visible bar window";
        return bar;
    }

    // Switches locks on and off one after the other; after each switch the lamps must show
    // exactly the locks that are on.
    void ExpectLampsFollow(HWND bar, const std::vector<std::pair<LampIndex, bool>>& switches) {
        LampStates on{};
        for (size_t i = 0; i < kLamps.size(); ++i) {
            on[i] = e2e::LockIsOn(kLamps[i].key);
        }
        for (const auto& [lamp, turnOn] : switches) {
            SCOPED_TRACE(std::string(kLamps[lamp].name) + (turnOn ? " on" : " off"));
            e2e::SetLock(kLamps[lamp].key, turnOn);
            on[lamp] = turnOn;
            ASSERT_TRUE(LampsBecome(bar, on));
        }
    }

    // Destroyed in reverse order: the process ends before its folder is removed.
    std::unique_ptr<e2e::ProgramFolder> folder_;
    std::unique_ptr<e2e::Process> program_;
};

// Every lamp lit and darkened alone and beside lit neighbours; all locks off at the end.
const std::vector<std::pair<LampIndex, bool>> kEveryLampInTurn = {
    {kNum, true}, {kNum, false},  {kCaps, true},    {kScroll, true},
    {kNum, true}, {kCaps, false}, {kScroll, false}, {kNum, false},
};

class LampsFollowKeys : public LampsTest {};
class LampsWatchdog : public LampsTest {};
class LampsWhileHidden : public LampsTest {};

TEST_F(LampsFollowKeys, EachLockLightsAndDarkensItsOwnLampOnly) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    ExpectLampsFollow(bar, kEveryLampInTurn);
}

TEST_F(LampsFollowKeys, AHeldLockKeyKeepsItsLampLitUntilReleased) {
    // Another lock toggled while the key is held proves that a refresh has sampled the keys
    // since the press: the refresh reads all three at one moment.
    const struct {
        LampIndex held, witness;
    } cases[] = {{kNum, kCaps}, {kCaps, kScroll}, {kScroll, kNum}};

    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    for (const auto& c : cases) {
        const WORD key = kLamps[c.held].key;
        SCOPED_TRACE(kLamps[c.held].name);
        LampStates expected{};

        // Off: the press switches the lock on and lights the lamp before the release.
        e2e::PressKey(key, true);
        expected[c.held] = true;
        EXPECT_TRUE(LampsBecome(bar, expected)) << "while the key is held after switching on";
        e2e::PressKey(key, false);
        ASSERT_TRUE(e2e::WaitFor([&] { return e2e::LockIsOn(key); })) << "the lock is not on";

        // On: the press switches the lock off, but the held key keeps the lamp lit.
        e2e::PressKey(key, true);
        ASSERT_TRUE(e2e::WaitFor([&] { return !e2e::LockIsOn(key); })) << "the lock stays on";
        e2e::SetLock(kLamps[c.witness].key, true);
        expected[c.witness] = true;
        EXPECT_TRUE(LampsBecome(bar, expected)) << "while the key is held after switching off";

        // Only the release darkens it.
        e2e::PressKey(key, false);
        expected[c.held] = false;
        EXPECT_TRUE(LampsBecome(bar, expected)) << "after the release";
        e2e::SetLock(kLamps[c.witness].key, false);
        expected[c.witness] = false;
        ASSERT_TRUE(LampsBecome(bar, expected));
    }
}

TEST_F(LampsWatchdog, ReplacesAWorkerEndedFromOutside) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    // More rounds than the failed restarts that make the watchdog give up: a worker ended from
    // outside is restarted successfully, which is no failure, so every round gets a new one.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        ASSERT_TRUE(EndWorkerAndSeeItReplaced(*program_, bar));
        const auto lamp = static_cast<LampIndex>(round % 3);
        ExpectLampsFollow(bar, {{lamp, true}, {lamp, false}});
    }
}

TEST_F(LampsWatchdog, WithEveryThreadStartFailingTheFallbackPollTakesOver) {
    const auto started = Clock::now();
    HWND bar = Start(L"oruvel_failing_threads.exe");
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    EXPECT_EQ(OtherThreads(*program_, bar).size(), 0u) << "a worker runs although starts fail";

    // No worker and no fallback yet: the watchdog gives up only at its fourth event, 8 s after
    // start-up, and timers are never early. Seen from here, a toggled lamp stays as it was until
    // then; watching it to 7.5 s after the start also catches a switch at an earlier event.
    e2e::SetLock(VK_CAPITAL, true);
    const auto observeFor =
        std::chrono::duration_cast<std::chrono::milliseconds>(started + 7500ms - Clock::now());
    EXPECT_FALSE(e2e::WaitFor([&] { return LookOf(bar, kLamps[kCaps]) != LampLook::Unlit; },
                              std::max(observeFor, 0ms)))
        << "Caps followed the key before the watchdog could have given up: " << DescribeScreen(bar);

    // After the switch the fallback poll brings Caps up to date, then follows every key.
    EXPECT_TRUE(LampsBecome(bar, {false, true, false}, 12000ms)) << "no fallback poll";
    e2e::SetLock(VK_CAPITAL, false);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    ExpectLampsFollow(bar, kEveryLampInTurn);
    EXPECT_EQ(OtherThreads(*program_, bar).size(), 0u) << "a thread was started after all";
}

TEST_F(LampsWatchdog, ReplacesTheWorkerWhileTheBarIsHidden) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    ShowWindow(bar, SW_HIDE);
    ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(bar); })) << "the bar stays visible";

    ASSERT_TRUE(EndWorkerAndSeeItReplaced(*program_, bar));

    // The lock is switched once the bar is back, well after the new worker began: under Wine a
    // thread reads a lock that was already on when it first used its input state as off.
    ShowWindow(bar, SW_SHOWNA);
    ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(bar) != FALSE; }));
    e2e::SetLock(VK_SCROLL, true);
    EXPECT_TRUE(LampsBecome(bar, {false, false, true}));
}

TEST_F(LampsWhileHidden, KeysToggledWhileHiddenShowOnceTheBarIsBack) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));

    // Each round hides the bar, switches locks, shows the bar and expects the lamps to match.
    // That nothing is painted while hidden cannot be seen from outside; what can be seen is
    // that the lamps catch up with every change once the bar is shown.
    const struct {
        const char* name;
        std::vector<std::pair<LampIndex, bool>> whileHidden;
        LampStates shown;
    } rounds[] = {
        {"two locks switched on", {{kCaps, true}, {kScroll, true}}, {false, true, true}},
        {"one switched off, one on", {{kCaps, false}, {kNum, true}}, {true, false, true}},
        {"switched off and on again", {{kNum, false}, {kNum, true}}, {true, false, true}},
        {"all off", {{kNum, false}, {kScroll, false}}, {false, false, false}},
    };
    for (const auto& round : rounds) {
        SCOPED_TRACE(round.name);
        ShowWindow(bar, SW_HIDE);
        ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(bar); })) << "still visible";
        for (const auto& [lamp, on] : round.whileHidden) {
            e2e::SetLock(kLamps[lamp].key, on);
        }
        ShowWindow(bar, SW_SHOWNA);
        ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(bar) != FALSE; })) << "not shown";
        EXPECT_TRUE(LampsBecome(bar, round.shown));
    }
}

}  // namespace
