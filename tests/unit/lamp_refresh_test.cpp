#include "lamps/lamp_refresh.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
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

// Answers key-state queries from `keys` and records every call as "query Caps" or
// "write Caps 00FF00"; onCall runs after each call is recorded.
class RecordingLampIo final : public LampIo {
  public:
    Keys keys{};
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

    void SetLampColour(Lamp lamp, int32_t colour) override {
        Record(std::string("write ") + LampName(lamp) + " " + Hex(colour));
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
        RecordingLampIo io;
        for (const Keys& sample : c.samples) {
            io.keys = sample;
            io.calls.clear();
            RefreshLamps(words, litColour, io);
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
    RecordingLampIo io;
    io.keys = {1, 1, 1};

    RefreshLamps(words, litColour, io);

    const std::vector<std::string> expected = {
        "query Num",        "query Caps",        "query Scroll",
        "write Num 00FF00", "write Caps 00FF00", "write Scroll 00FF00",
    };
    EXPECT_EQ(io.calls, expected);
}

TEST(RefreshLamps, ReadsLitColourAfreshForEachWrite) {
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
        RecordingLampIo io;
        io.keys = {1, 1, 0};
        io.onCall = [&](const std::string& call) {
            if (call == c.changeAfter) {
                litColour = kBlue;
            }
        };

        RefreshLamps(words, litColour, io);

        EXPECT_EQ(io.Writes(), c.writes) << c.name;
    }
}

TEST(RecolourAllLamps, WritesEveryLampFromAFreshQueryAndLeavesTheWords) {
    LockWords words;
    std::atomic<int32_t> litColour{kGreen};
    RecordingLampIo io;
    io.keys = {1, 0, 0};
    RefreshLamps(words, litColour, io);

    // Scroll Lock goes on after that refresh; then the settings OK picks blue.
    io.keys = {1, 0, 1};
    litColour = kBlue;
    io.calls.clear();
    RecolourAllLamps(litColour, io);

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
    RefreshLamps(words, litColour, io);
    EXPECT_EQ(io.Writes(), std::vector<std::string>{"write Scroll FF0000"});
}

}  // namespace
}  // namespace oruvel
