// Lamp refresh: samples the three lock keys and redraws the lamps whose key-state word changed.
// Portable; the Win32 side supplies the key-state query and the lamps.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace oruvel {

enum class Lamp { Num, Caps, Scroll };

// Colours are 0x00BBGGRR. A lamp whose key-state word is zero shows silver.
inline constexpr int32_t kUnlitColour = 0xC0C0C0;

// Virtual-key codes of the three lock keys.
inline constexpr int kVkNumLock = 0x90, kVkCapital = 0x14, kVkScroll = 0x91;

// Whether a virtual key is Num, Caps or Scroll Lock.
bool IsLockKey(int virtualKey);

// Words shared between threads without a lock; an aligned 32-bit atomic is read and written
// whole, which is all the sharing needs.
static_assert(std::atomic<int32_t>::is_always_lock_free);

// The three last key-state words that RefreshLamps compares against.
struct LockWords {
    std::atomic<int32_t> lastNumState{0}, lastCapsState{0}, lastScrollState{0};
};

// The lamp colour rule: any non-zero word lights the lamp, so a held key lights it whatever
// the lock state.
int32_t LampColour(int32_t keyStateWord, int32_t litColour);

// What each lamp shows: the key-state word last written to it, which is its lit state. No
// colour is kept: a lamp takes litColour when it is painted, so whatever wrote its word, and
// whenever litColour changed, a lit lamp is painted in the lit colour in effect at that paint.
class LampStates {
  public:
    void Set(Lamp lamp, int32_t keyStateWord) {
        words_[Index(lamp)].store(keyStateWord, std::memory_order_relaxed);
    }
    int32_t Word(Lamp lamp) const { return words_[Index(lamp)].load(std::memory_order_relaxed); }
    // The colour to paint the lamp in now.
    int32_t PaintColour(Lamp lamp, int32_t litColour) const {
        return LampColour(Word(lamp), litColour);
    }

  private:
    static size_t Index(Lamp lamp) { return static_cast<size_t>(lamp); }
    // All zero: the designed silver of a lamp that nothing has written yet.
    std::array<std::atomic<int32_t>, 3> words_{};
};

// What a refresh needs of the system and the bar.
struct LampIo {
    // GetKeyState's result, sign-extended: bit 0 set while the lock is on, the high bits set
    // while the key is held down (a held key whose lock is on reads 0xFFFF8001).
    virtual int32_t KeyState(int virtualKey) = 0;
    // Stores the lamp's key-state word and redraws the lamp at once, even if the word is the
    // same; the redraw takes the lit colour in effect then.
    virtual void SetLampState(Lamp lamp, int32_t keyStateWord) = 0;

  protected:
    ~LampIo() = default;
};

// Queries Num, Caps and Scroll Lock (all three before any comparison), then for each lamp whose
// word differs from its last word (whole-word comparison, not lit/unlit): stores the new word and
// writes it to the lamp. Runs on one thread at a time.
void RefreshLamps(LockWords& words, LampIo& io);

// Settings OK, once litColour holds the new colour: for Num, Caps and Scroll in turn, queries the
// key afresh and at once writes its word to the lamp, so each is redrawn in the new colour. Every
// lamp is written; the last words are left as they are, so the next RefreshLamps writes only the
// lamps whose word changed since the refresh before it.
void RecolourAllLamps(LampIo& io);

}  // namespace oruvel
