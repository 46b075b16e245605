// Lamp refresh: samples the three lock keys and recolours the lamps whose key-state word
// changed. Portable; the Win32 side supplies the key-state query and the lamp colour writes.
#pragma once

#include <atomic>
#include <cstdint>

namespace oruvel {

enum class Lamp { Num, Caps, Scroll };

// Colours are 0x00BBGGRR. A lamp whose key-state word is zero shows silver.
inline constexpr int32_t kUnlitColour = 0xC0C0C0;

// Virtual-key codes of the three lock keys.
inline constexpr int kVkNumLock = 0x90, kVkCapital = 0x14, kVkScroll = 0x91;

// The poll worker and the user-interface thread share these words without a lock; an aligned
// 32-bit atomic is read and written whole, which is all the sharing needs.
static_assert(std::atomic<int32_t>::is_always_lock_free);

// The three last key-state words; shared between the UI thread and the poll worker, each read
// and written whole.
struct LockWords {
    std::atomic<int32_t> lastNumState{0}, lastCapsState{0}, lastScrollState{0};
};

// What a refresh needs of the system and the bar.
struct LampIo {
    // GetKeyState's result, sign-extended: bit 0 set while the lock is on, the high bits set
    // while the key is held down (a held key whose lock is on reads 0xFFFF8001).
    virtual int32_t KeyState(int virtualKey) = 0;
    // Stores the lamp's text colour and redraws the lamp at once, even if the colour is the same.
    virtual void SetLampColour(Lamp lamp, int32_t colour) = 0;

  protected:
    ~LampIo() = default;
};

// The lamp colour rule: any non-zero word lights the lamp, so a held key lights it whatever
// the lock state.
int32_t LampColour(int32_t keyStateWord, int32_t litColour);

// Queries Num, Caps and Scroll Lock (all three before any comparison), then for each lamp whose
// word differs from its last word (whole-word comparison, not lit/unlit): stores the new word and
// writes the lamp with LampColour of it, reading litColour afresh for that write. Runs on one
// thread at a time: the UI thread at start-up and in the fallback, else the poll worker.
void RefreshLamps(LockWords& words, const std::atomic<int32_t>& litColour, LampIo& io);

// Settings OK: for Num, Caps and Scroll in turn, queries the key afresh and at once writes the
// lamp by the colour rule. Every lamp is written; the last words are left as they are, so the
// next RefreshLamps writes only the lamps whose word changed since the refresh before it.
void RecolourAllLamps(const std::atomic<int32_t>& litColour, LampIo& io);

}  // namespace oruvel
