#include "lamps/lamp_refresh.h"

namespace oruvel {

namespace {

struct LampKey {
    Lamp lamp;
    int virtualKey;
};
constexpr LampKey kLampKeys[] = {
    {Lamp::Num, kVkNumLock}, {Lamp::Caps, kVkCapital}, {Lamp::Scroll, kVkScroll}};

void UpdateLamp(Lamp lamp, int32_t word, std::atomic<int32_t>& last, LampIo& io) {
    // The last word has a single writer at a time (this refresh), so load-compare-store is safe.
    if (word == last.load(std::memory_order_relaxed)) {
        return;
    }
    last.store(word, std::memory_order_relaxed);
    io.SetLampState(lamp, word);
}

}  // namespace

bool IsLockKey(int virtualKey) {
    for (const LampKey& key : kLampKeys) {
        if (key.virtualKey == virtualKey) {
            return true;
        }
    }
    return false;
}

int32_t LampColour(int32_t keyStateWord, int32_t litColour) {
    return keyStateWord != 0 ? litColour : kUnlitColour;
}

void RefreshLamps(LockWords& words, LampIo& io) {
    // One sample of all three keys first, so the comparisons see a single moment.
    const int32_t num = io.KeyState(kVkNumLock);
    const int32_t caps = io.KeyState(kVkCapital);
    const int32_t scroll = io.KeyState(kVkScroll);

    UpdateLamp(Lamp::Num, num, words.lastNumState, io);
    UpdateLamp(Lamp::Caps, caps, words.lastCapsState, io);
    UpdateLamp(Lamp::Scroll, scroll, words.lastScrollState, io);
}

void RecolourAllLamps(LampIo& io) {
    for (const LampKey& key : kLampKeys) {
        io.SetLampState(key.lamp, io.KeyState(key.virtualKey));
    }
}

}  // namespace oruvel
