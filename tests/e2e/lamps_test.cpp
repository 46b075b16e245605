// The lamps on screen follow the lock keys: the poll worker, its replacement by the watchdog
// when the worker is ended from outside, the fallback poll when no thread can be started, the
// raw keyboard input beside the poll, and the catching up after the bar was hidden. A lock that
// is on stays lit in every situation, and the program ends cleanly whatever the poll is doing.
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

// Ten poll periods and more: a lamp that shows the truth only for a moment is caught.
constexpr auto kHoldFor = 1000ms;

// Samples the lamps over `period` and fails at the first sample that differs from `expected`.
testing::AssertionResult LampsStay(HWND bar, const LampStates& expected,
                                   std::chrono::milliseconds period = kHoldFor) {
    const auto start = Clock::now();
    int samples = 0;
    const bool strayed = e2e::WaitFor(
        [&] {
            ++samples;
            return !LampsShow(bar, expected);
        },
        period);
    if (strayed) {
        const auto after =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return testing::AssertionFailure()
               << "expected " << Describe(expected) << " throughout; after " << after.count()
               << " ms seen " << DescribeScreen(bar);
    }
    if (samples < 10) {
        return testing::AssertionFailure() << "only " << samples << " samples in the period";
    }
    return testing::AssertionSuccess();
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

// The program's one thread besides the bar's, suspended from outside for the life of this
// object: the watchdog finds it running and starts no other, so no poll samples the keys.
class SuspendedWorker {
  public:
    SuspendedWorker(const e2e::Process& program, HWND bar) {
        const std::vector<DWORD> others = OtherThreads(program, bar);
        EXPECT_EQ(others.size(), 1u) << "expected one worker, seen " << ListThreads(others);
        if (others.size() == 1) {
            thread_ = OpenThread(THREAD_SUSPEND_RESUME, FALSE, others[0]);
        }
        EXPECT_TRUE(thread_ && SuspendThread(thread_) != static_cast<DWORD>(-1))
            << "cannot suspend the worker";
    }
    SuspendedWorker(const SuspendedWorker&) = delete;
    SuspendedWorker& operator=(const SuspendedWorker&) = delete;
    ~SuspendedWorker() {
        if (thread_) {
            ResumeThread(thread_);
            CloseHandle(thread_);
        }
    }

  private:
    HANDLE thread_ = nullptr;
};

// Hides and shows the bar from outside, as ShowWindow from another program does.
testing::AssertionResult HideBar(HWND bar) {
    ShowWindow(bar, SW_HIDE);
    if (!e2e::WaitFor([&] { return !IsWindowVisible(bar); })) {
        return testing::AssertionFailure() << "the bar stays visible";
    }
    return testing::AssertionSuccess();
}
// Shown means on screen and painted: X maps the window a moment after Windows calls it visible,
// and until it is painted the lamps look neither lit nor unlit.
testing::AssertionResult ShowBar(HWND bar) {
    ShowWindow(bar, SW_SHOWNA);
    const bool painted = e2e::WaitFor([&] {
        return IsWindowVisible(bar) &&
               std::none_of(kLamps.begin(), kLamps.end(), [&](const LampKey& lamp) {
                   return LookOf(bar, lamp) == LampLook::Unclear;
               });
    });
    if (!painted) {
        return testing::AssertionFailure() << "the bar is not shown: " << DescribeScreen(bar);
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
class LampsStayTrue : public LampsTest {};
class LampsOrderlyEnd : public LampsTest {};

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
    // start-up, and timers are never early. In this build the raw keyboard input's registration
    // fails too, and with another window in front no key message reaches the bar, so the
    // program works as it would without either: seen from here, a toggled lamp stays as it was
    // until then; watching it to 7.5 s after the start also catches a switch at an earlier event.
    e2e::DriverWindow other(true, {10, 300});
    e2e::TakeForeground(other);
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
    ASSERT_TRUE(HideBar(bar));

    ASSERT_TRUE(EndWorkerAndSeeItReplaced(*program_, bar));

    // Switched while the bar is hidden, the lock reaches the lamp through the new worker's poll.
    e2e::SetLock(VK_SCROLL, true);
    ASSERT_TRUE(ShowBar(bar));
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
        ASSERT_TRUE(HideBar(bar));
        for (const auto& [lamp, on] : round.whileHidden) {
            e2e::SetLock(kLamps[lamp].key, on);
        }
        ASSERT_TRUE(ShowBar(bar));
        EXPECT_TRUE(LampsBecome(bar, round.shown));
    }
}

TEST_F(LampsFollowKeys, WithThePollWorkerSuspendedTheKeysInputAloneDrivesTheLamps) {
    // No poll samples the keys while the worker is suspended (the watchdog finds it running), so
    // only the lock keys' input can move the lamps: with another program's window in front, the
    // raw keyboard input, which reaches the bar as a sink; with the bar in front, that and the
    // bar's own key messages.
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    SuspendedWorker suspended(*program_, bar);
    std::unique_ptr<e2e::DriverWindow> other;
    for (const bool otherInFront : {false, true}) {
        SCOPED_TRACE(otherInFront ? "another program's window in front" : "the bar in front");
        if (otherInFront) {
            other = std::make_unique<e2e::DriverWindow>(true, POINT{10, 300});
            e2e::TakeForeground(*other);
        } else {
            EXPECT_EQ(GetForegroundWindow(), bar);
        }
        ExpectLampsFollow(bar, kEveryLampInTurn);
        // At the press the bar's thread may still read the old toggle; the sample taken shortly
        // after it lights the lamp while the key is held.
        e2e::PressKey(VK_CAPITAL, true);
        EXPECT_TRUE(LampsBecome(bar, {false, true, false})) << "while Caps Lock is held down";
        e2e::PressKey(VK_CAPITAL, false);
        EXPECT_TRUE(LampsStay(bar, {false, true, false})) << "after the release";
        e2e::SetLock(VK_CAPITAL, false);
        EXPECT_TRUE(LampsBecome(bar, {false, false, false}));
    }
}

// A lock that is on stays lit: sampled over ten poll periods and more in each situation.

TEST_F(LampsStayTrue, AfterTheWatchdogReplacesAWorkerEndedFromOutside) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    e2e::SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(LampsBecome(bar, {false, true, false}));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        ASSERT_TRUE(EndWorkerAndSeeItReplaced(*program_, bar));
        EXPECT_TRUE(LampsStay(bar, {false, true, false}));
    }
    // The new worker's polls follow the keys, and the lock still on stays lit beside them.
    e2e::SetLock(VK_NUMLOCK, true);
    EXPECT_TRUE(LampsBecome(bar, {true, true, false}));
    EXPECT_TRUE(LampsStay(bar, {true, true, false}));
}

TEST_F(LampsStayTrue, AcrossTheSwitchToTheFallbackPoll) {
    // In this build, with another window in front, nothing drives the lamps until the watchdog
    // gives up on threads, 8 s after start-up; from then on the fallback poll does.
    HWND bar = Start(L"oruvel_failing_threads.exe");
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(LampsBecome(bar, {false, false, false}));
    e2e::DriverWindow other(true, {10, 300});
    e2e::TakeForeground(other);
    e2e::SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(LampsBecome(bar, {false, true, false}, 12000ms)) << "no fallback poll";
    EXPECT_TRUE(LampsStay(bar, {false, true, false}));
    e2e::SetLock(VK_SCROLL, true);
    EXPECT_TRUE(LampsBecome(bar, {false, true, true}));
    EXPECT_TRUE(LampsStay(bar, {false, true, true}));
}

TEST_F(LampsStayTrue, AfterTheBarIsHiddenAndShownFromTheTrayIcon) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    e2e::SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(LampsBecome(bar, {false, true, false}));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        // A double-click on the icon hides the bar, the next shows and activates it.
        PostMessageW(bar, e2e::kTrayCallback, 100, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(bar); })) << "not hidden";
        PostMessageW(bar, e2e::kTrayCallback, 100, WM_LBUTTONDBLCLK);
        ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(bar) != FALSE; })) << "not shown";
        EXPECT_TRUE(LampsBecome(bar, {false, true, false}));
        EXPECT_TRUE(LampsStay(bar, {false, true, false}));
    }
}

TEST_F(LampsStayTrue, WhileAnotherProgramsWindowIsInFront) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    // Num Lock switched on while the bar is in front, then another window takes the foreground.
    e2e::SetLock(VK_NUMLOCK, true);
    ASSERT_TRUE(LampsBecome(bar, {true, false, false}));
    e2e::DriverWindow other(true, {10, 300});
    e2e::TakeForeground(other);
    EXPECT_TRUE(LampsStay(bar, {true, false, false}));
    // Switched while the other window is in front.
    e2e::SetLock(VK_CAPITAL, true);
    EXPECT_TRUE(LampsBecome(bar, {true, true, false}));
    EXPECT_TRUE(LampsStay(bar, {true, true, false}));
    e2e::SetLock(VK_NUMLOCK, false);
    EXPECT_TRUE(LampsBecome(bar, {false, true, false}));
    EXPECT_TRUE(LampsStay(bar, {false, true, false}));
    EXPECT_EQ(GetForegroundWindow(), other.get()) << "the foreground changed during the case";
}

TEST_F(LampsStayTrue, WhileTheSettingsWindowIsOpen) {
    HWND bar = Start();
    ASSERT_NE(bar, nullptr);
    e2e::SetLock(VK_CAPITAL, true);
    ASSERT_TRUE(LampsBecome(bar, {false, true, false}));
    HWND settings = e2e::OpenSettingsFromBar(*program_, bar);
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(LampsStay(bar, {false, true, false})) << "once the settings window opened";
    // Switched while the settings window has the focus.
    e2e::SetLock(VK_SCROLL, true);
    EXPECT_TRUE(LampsBecome(bar, {false, true, true}));
    EXPECT_TRUE(LampsStay(bar, {false, true, true}));
    e2e::TapKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindow(settings); })) << "Esc did not close it";
    EXPECT_TRUE(LampsStay(bar, {false, true, true})) << "once the settings window closed";
}

// Ends the worker from outside and returns at once, before the watchdog replaces it.
void EndWorker(const e2e::Process& program, HWND bar) {
    const std::vector<DWORD> workers = OtherThreads(program, bar);
    ASSERT_EQ(workers.size(), 1u) << "expected one worker, seen " << ListThreads(workers);
    HANDLE worker = OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, workers[0]);
    ASSERT_NE(worker, nullptr);
    TerminateThread(worker, 0);
    EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0) << "the worker did not end";
    CloseHandle(worker);
}

TEST_F(LampsOrderlyEnd, EndsWithExitCodeZeroWhateverThePollIsDoing) {
    // The bar is closed as Esc closes it; a crash or a hang on the way out shows as another exit
    // code, or none within the wait.
    enum Situation {
        kPolling,
        kLockKeyJustPressed,
        kHidden,
        kWorkerEnded,
        kWorkerSuspended,
        kFallbackPoll
    };
    const struct {
        const char* name;
        Situation situation;
    } cases[] = {
        {"polling", kPolling},
        {"a lock key pressed just before, its second sample due", kLockKeyJustPressed},
        {"the bar hidden", kHidden},
        {"the worker just ended from outside", kWorkerEnded},
        {"the worker suspended: the end waits one poll period, then leaves it", kWorkerSuspended},
        {"the fallback poll, no worker", kFallbackPoll},
    };
    for (const auto& c : cases) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(std::string(c.name) + ", round " + std::to_string(round + 1));
            HWND bar =
                Start(c.situation == kFallbackPoll ? L"oruvel_failing_threads.exe" : L"oruvel.exe");
            ASSERT_NE(bar, nullptr);
            std::unique_ptr<SuspendedWorker> suspended;
            switch (c.situation) {
                case kLockKeyJustPressed:
                    e2e::TapKey(VK_CAPITAL);
                    break;
                case kHidden:
                    ASSERT_TRUE(HideBar(bar));
                    break;
                case kWorkerEnded:
                    EndWorker(*program_, bar);
                    break;
                case kWorkerSuspended:
                    suspended = std::make_unique<SuspendedWorker>(*program_, bar);
                    break;
                case kPolling:
                case kFallbackPoll:
                    break;
            }
            PostMessageW(bar, WM_CLOSE, 0, 0);
            EXPECT_EQ(program_->ExitCode(), 0);
            suspended.reset();
            program_.reset();
            folder_.reset();
            e2e::AllLocksOff();
        }
    }
}

}  // namespace
