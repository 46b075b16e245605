#include "lamps/lamp_refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace oruvel {
namespace {

constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;                             // 0x00BBGGRR
constexpr int32_t kHeldOn = static_cast<int32_t>(0xFFFF8001);   // key down, lock on
constexpr int32_t kHeldOff = static_cast<int32_t>(0xFFFF8000);  // key down, lock off

struct Keys {
    int32_t num, caps, scroll;
};

std::string Hex(int32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour));
    return text;
}

const char* LampName(Lamp lamp) {
    switch (lamp) {
        case Lamp::Num:
            return "Num";
        case Lamp::Caps:
            return "Caps";
        case Lamp::Scroll:
            return "Scroll";
    }
    return "?";
}

// Answers key-state queries from `keys` and keeps the lamps as the bar does: a write stores the
// lamp's word and paints it at once, in the colour the lamp takes from litColour at that moment.
// Records every call as "query Caps" or "write Caps 00FF00" (the colour painted); onCall runs
// after each call is recorded.
class RecordingLampIo final : public LampIo {
  public:
    explicit RecordingLampIo(const std::atomic<int32_t>& litColour) : litColour_(litColour) {}

    Keys keys{};
    LampStates shown;
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall = [](const std::string&) {};

    int32_t KeyState(int virtualKey) override {
        int32_t word = 0;
        std::string name;
        switch (virtualKey) {
            case 0x90:
                name = "Num", word = keys.num;
                break;
            case 0x14:
                name = "Caps", word = keys.caps;
                break;
            case 0x91:
                name = "Scroll", word = keys.scroll;
                break;
            default:
                ADD_FAILURE() << "query of unexpected virtual key " << virtualKey;
        }
        Record("query " + name);
        return word;
    }

    void SetLampState(Lamp lamp, int32_t keyStateWord) override {
        shown.Set(lamp, keyStateWord);
        Record(std::string("write ") + LampName(lamp) + " " +
               Hex(shown.PaintColour(lamp, litColour_.load())));
    }

    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        for (const std::string& call : calls) {
            if (call.rfind("write ", 0) == 0) {
                writes.push_back(call);
            }
        }
        return writes;
    }

  private:
    void Record(const std::string& call) {
        calls.push_back(call);
        onCall(call);
    }
    const std::atomic<int32_t>& litColour_;
};

TEST(LampColour, NonZeroWordLightsTheLamp) {
    const struct {
        const char* name;
        int32_t word;
        int32_t litColour;
        int32_t expected;
    } cases[] = {
        {"lock off, key up", 0, kGreen, 0xC0C0C0},
        {"lock on", 1, kGreen, kGreen},
        {"key held, lock off", kHeldOff, kGreen, kGreen},
        {"key held, lock on", kHeldOn, kGreen, kGreen},
        {"black lit colour", 1, 0, 0},
        {"black lit colour, lock off", 0, 0, 0xC0C0C0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LampColour(c.word, c.litColour), c.expected) << c.name;
    }
}

TEST(RefreshLamps, WritesOnlyLampsWhoseWordChanged) {
    const struct {
        const char* name;
        std::vector<Keys> samples;            // one refresh per sample, from fresh words
        std::vector<std::string> lastWrites;  // what the last refresh writes
    } cases[] = {
        {"all off at start", {{0, 0, 0}}, {}},
        {"Num on at start", {{1, 0, 0}}, {"write Num 00FF00"}},
        {"unchanged words", {{1, kHeldOn, 0}, {1, kHeldOn, 0}}, {}},
        {"lock on, then its key held", {{0, 0, 1}, {0, 0, kHeldOn}}, {"write Scroll 00FF00"}},
        {"key held on a lock that is off", {{0, 0, 0}, {0, kHeldOff, 0}}, {"write Caps 00FF00"}},
        {"switched off: dark at the release",
         {{0, 1, 0}, {0, kHeldOff, 0}, {0, 0, 0}},
         {"write Caps C0C0C0"}},
        {"on and off again between refreshes", {{0, 1, 0}, {0, 0, 0}, {0, 0, 0}}, {}},
        {"all three change",
         {{1, 0, 0}, {0, 1, kHeldOff}},
         {"write Num C0C0C0", "write Caps 00FF00", "write Scroll 00FF00"}},
    };
    for (const auto& c : cases) {
        LockWords words;
        std::atomic<int32_t> litColour{kGreen};
        RecordingLampIo io(litColour);
        for (const Keys& sample : c.samples) {
            io.keys = sample;
            io.calls.clear();
            RefreshLamps(words, io);
        }
        EXPECT_EQ(io.Writes(), c.lastWrites) << c.name;
        EXPECT_EQ(words.lastNumState.load(), c.samples.back().num) << c.name;
        EXPECT_EQ(words.lastCapsState.load(), c.samples.back().caps) << c.name;
        EXPECT_EQ(words.lastScrollState.load(), c.samples.back().scroll) << c.name;
    }
}

TEST(RefreshLamps, QueriesAllThreeKeysBeforeAnyWrite) {
    LockWords words;
    std::atomic<int32_t> litColour{kGreen};
    RecordingLampIo io(litColour);
    io.keys = {1, 1, 1};

    RefreshLamps(words, io);

    const std::vector<std::string> expected = {
        "query Num",        "query Caps",        "query Scroll",
        "write Num 00FF00", "write Caps 00FF00", "write Scroll 00FF00",
    };
    EXPECT_EQ(io.calls, expected);
}

TEST(RefreshLamps, EachWriteIsPaintedInTheLitColourOfThatMoment) {
    const struct {
        const char* name;
        std::string changeAfter;  // the call after which litColour turns blue
        std::vector<std::string> writes;
    } cases[] = {
        {"changed during the queries", "query Scroll", {"write Num FF0000", "write Caps FF0000"}},
        {"changed by the Num write", "write Num 00FF00", {"write Num 00FF00", "write Caps FF0000"}},
    };
    for (const auto& c : cases) {
        LockWords words;
        std::atomic<int32_t> litColour{kGreen};
        RecordingLampIo io(litColour);
        io.keys = {1, 1, 0};
        io.onCall = [&](const std::string& call) {
            if (call == c.changeAfter) {
                litColour = kBlue;
            }
        };

        RefreshLamps(words, io);

        EXPECT_EQ(io.Writes(), c.writes) << c.name;
    }
}

TEST(RecolourAllLamps, WritesEveryLampFromAFreshQueryAndLeavesTheWords) {
    LockWords words;
    std::atomic<int32_t> litColour{kGreen};
    RecordingLampIo io(litColour);
    io.keys = {1, 0, 0};
    RefreshLamps(words, io);

    // Scroll Lock goes on after that refresh; then the settings OK picks blue.
    io.keys = {1, 0, 1};
    litColour = kBlue;
    io.calls.clear();
    RecolourAllLamps(io);

    const std::vector<std::string> recolour = {
        "query Num",         "write Num FF0000", "query Caps",
        "write Caps C0C0C0", "query Scroll",     "write Scroll FF0000",
    };
    EXPECT_EQ(io.calls, recolour);
    EXPECT_EQ(words.lastNumState.load(), 1);
    EXPECT_EQ(words.lastCapsState.load(), 0);
    EXPECT_EQ(words.lastScrollState.load(), 0);

    // The next refresh writes only what changed since the refresh before the recolour.
    io.calls.clear();
    RefreshLamps(words, io);
    EXPECT_EQ(io.Writes(), std::vector<std::string>{"write Scroll FF0000"});
}

TEST(IsLockKey, OnlyTheThreeLockKeys) {
    const struct {
        int virtualKey;
        bool lock;
    } cases[] = {
        {0x90, true},  {0x14, true},  {0x91, true},  // Num, Caps, Scroll Lock
        {0x13, false},                               // Pause, which shares Num Lock's scan code
        {0x41, false}, {0x20, false}, {0x10, false}, {0x00, false}, {0xFF, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsLockKey(c.virtualKey), c.lock) << std::hex << c.virtualKey;
    }
}

TEST(LampStates, ALitLampIsPaintedInTheLitColourOfEachPaint) {
    LampStates shown;
    shown.Set(Lamp::Caps, 1);
    shown.Set(Lamp::Scroll, kHeldOff);
    EXPECT_EQ(shown.PaintColour(Lamp::Caps, kGreen), kGreen);
    // No word is written again: the next paint alone takes the new colour.
    EXPECT_EQ(shown.PaintColour(Lamp::Caps, kBlue), kBlue);
    EXPECT_EQ(shown.PaintColour(Lamp::Scroll, kBlue), kBlue);
    EXPECT_EQ(shown.PaintColour(Lamp::Num, kBlue), kUnlitColour) << "never written: silver";
}

// A refresh and a settings OK that picks a new lit colour, run on two threads in lock step. Each
// call that either makes of its LampIo is a step, and so is the OK's store of litColour; a lamp
// write stores the word and paints the lamp in one step, as the bar does on its thread, and the
// paint takes the colour of that moment. A schedule such as "RROR..." says whose step comes next.
// Whatever either routine computes between two of its calls falls between two steps, where the
// other's steps can come: a colour taken before a write and painted by it would be caught stale.
class LockStep {
  public:
    explicit LockStep(std::string schedule) : schedule_(std::move(schedule)) {}

    void Step(char who, const std::function<void()>& action) {
        std::unique_lock lock(mutex_);
        if (!turn_.wait_for(lock, std::chrono::seconds(5),
                            [&] { return next_ < schedule_.size() && schedule_[next_] == who; })) {
            stuck_ = true;  // a step the schedule has no place for
            return;
        }
        action();
        ++next_;
        turn_.notify_all();
    }
    // Every step of the schedule was taken, and no step went without a place.
    bool Complete() const { return !stuck_ && next_ == schedule_.size(); }

  private:
    std::string schedule_;
    size_t next_ = 0;
    bool stuck_ = false;
    std::mutex mutex_;
    std::condition_variable turn_;
};

// What the screen shows of each lamp: the colour of its last paint.
using Screen = std::array<int32_t, 3>;

// One participant's LampIo over the shared keys, lamps and screen: every call is a step of it.
class SteppedLampIo final : public LampIo {
  public:
    SteppedLampIo(char who, LockStep& steps, const Keys& keys, LampStates& shown, Screen& screen,
                  const std::atomic<int32_t>& litColour)
        : who_(who),
          steps_(steps),
          keys_(keys),
          shown_(shown),
          screen_(screen),
          litColour_(litColour) {}

    int32_t KeyState(int virtualKey) override {
        int32_t word = 0;
        steps_.Step(who_, [&] {
            word = virtualKey == 0x90 ? keys_.num : virtualKey == 0x14 ? keys_.caps : keys_.scroll;
        });
        return word;
    }
    void SetLampState(Lamp lamp, int32_t keyStateWord) override {
        steps_.Step(who_, [&] {
            shown_.Set(lamp, keyStateWord);
            screen_[static_cast<size_t>(lamp)] = shown_.PaintColour(lamp, litColour_.load());
        });
    }

  private:
    char who_;
    LockStep& steps_;
    const Keys& keys_;
    LampStates& shown_;
    Screen& screen_;
    const std::atomic<int32_t>& litColour_;
};

TEST(RefreshAndSettingsOk, EveryInterleavingEndsWithEachLitLampInTheNewColour) {
    // The lamps show what the last refresh stored; the keys have changed since as given.
    const struct {
        const char* name;
        Keys last;  // the last words, which the lamps show
        Keys keys;  // the keys now
    } cases[] = {
        {"Caps switched on since the last refresh", {0, 0, 0}, {0, 1, 0}},
        {"Scroll switched off, Num on all along", {1, 0, 1}, {1, 0, 0}},
        {"all three switched on", {0, 0, 0}, {1, 1, 1}},
        {"a lock that is on, its key now held", {0, 1, 0}, {0, kHeldOn, 0}},
        {"nothing changed: the refresh writes nothing", {1, 1, 0}, {1, 1, 0}},
    };
    for (const auto& c : cases) {
        const std::array<int32_t, 3> last{c.last.num, c.last.caps, c.last.scroll};
        const std::array<int32_t, 3> now{c.keys.num, c.keys.caps, c.keys.scroll};
        int changed = 0;
        for (size_t i = 0; i < 3; ++i) {
            changed += last[i] != now[i];
        }
        // The refresh: three queries, then a write per changed lamp. The OK: the store of
        // litColour, then a query and a write per lamp.
        std::string schedule = std::string(3 + changed, 'R') + std::string(1 + 3 * 2, 'O');
        std::sort(schedule.begin(), schedule.end());
        int interleavings = 0;
        std::string fault;  // of the first interleaving that ends wrong
        do {
            ++interleavings;
            std::atomic<int32_t> litColour{kGreen};
            LockWords words;
            words.lastNumState = c.last.num;
            words.lastCapsState = c.last.caps;
            words.lastScrollState = c.last.scroll;
            LampStates shown;
            Screen screen{};
            for (size_t i = 0; i < 3; ++i) {
                shown.Set(static_cast<Lamp>(i), last[i]);
                screen[i] = LampColour(last[i], kGreen);
            }
            LockStep steps(schedule);
            SteppedLampIo refreshIo('R', steps, c.keys, shown, screen, litColour);
            SteppedLampIo okIo('O', steps, c.keys, shown, screen, litColour);

            std::thread refresh([&] { RefreshLamps(words, refreshIo); });
            std::thread ok([&] {
                steps.Step('O', [&] { litColour = kBlue; });
                RecolourAllLamps(okIo);
            });
            refresh.join();
            ok.join();

            if (!steps.Complete()) {
                fault = "the routines took other steps than counted";
            }
            for (size_t i = 0; i < 3 && fault.empty(); ++i) {
                if (screen[i] != LampColour(now[i], kBlue)) {
                    fault = std::string(LampName(static_cast<Lamp>(i))) + " shows " +
                            Hex(screen[i]) + ", not " + Hex(LampColour(now[i], kBlue));
                }
            }
            // The refresh has stored the present words: the next one writes nothing.
            RecordingLampIo next(litColour);
            next.keys = c.keys;
            RefreshLamps(words, next);
            if (fault.empty() && !next.Writes().empty()) {
                fault = "the next refresh writes " + next.Writes().front();
            }
            if (!fault.empty()) {
                fault += ", schedule " + schedule;
            }
        } while (fault.empty() && std::next_permutation(schedule.begin(), schedule.end()));
        EXPECT_EQ(fault, "") << c.name;
        if (fault.empty()) {
            EXPECT_GE(interleavings, 120) << c.name;  // C(10, 3) at the fewest, with no write
        }
    }
}

}  // namespace
}  // namespace oruvel
