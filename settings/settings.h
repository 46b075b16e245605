// The four settings kept between runs (always-on-top flag, lit colour, the bar's left and top
// edges) in section "程序配置" of config.ini, read once at start-up and written once at the end.
// The file's bytes come and go through a SettingsStore, the bar through BarProperties, so the
// rules here know nothing of files or windows.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings_encoding.h"

namespace oruvel {

// What the settings need of the bar window.
struct BarProperties {
    virtual bool AlwaysOnTop() const = 0;
    virtual void SetAlwaysOnTop(bool on) = 0;
    virtual int32_t Left() const = 0;
    virtual void SetLeft(int32_t left) = 0;  // the bar clamps to -32627..32627 itself
    virtual int32_t Top() const = 0;
    virtual void SetTop(int32_t top) = 0;  // the bar clamps to -32627..32627 itself
    virtual int32_t Width() const = 0;

  protected:
    ~BarProperties() = default;
};

// What a SettingsStore found where the settings file belongs.
enum class SettingsFileState {
    kRead,        // the whole file was read
    kMissing,     // there is no file: reads give the defaults, a save creates it
    kUnreadable,  // something is there whose bytes could not be had (locked, access denied, a
                  // directory, a read error, too large): reads give the defaults and no save
                  // touches it, since a save would replace it with our lines alone
};

struct SettingsFileContent {
    SettingsFileState state = SettingsFileState::kMissing;
    std::string bytes;  // the whole file when state is kRead, else empty
};

// Where the settings file's bytes come from and go to.
struct SettingsStore {
    // The file's bytes, exactly as stored, or why there are none.
    virtual SettingsFileContent Load() = 0;
    // Replaces the whole file with `bytes`, creating it if missing, in one step: afterwards,
    // even after a crash or power loss, the file holds either its old bytes or `bytes`, never a
    // mix. False when it could not; the old file is then unchanged. Called only after a Load in
    // the same operation gave kRead or kMissing.
    virtual bool Save(const std::string& bytes) = 0;

  protected:
    ~SettingsStore() = default;
};

// The file's section and keys, and the two values of the always-on-top flag, in GBK.
inline constexpr std::string_view kSettingsSection =
    "\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3";  // 程序配置
inline constexpr std::string_view kKeyAlwaysOnTop = "\xC7\xB0\xB6\xCB\xCF\xD4\xCA\xBE";  // 前端显示
inline constexpr std::string_view kKeyLitColour =
    "\xD6\xB8\xCA\xBE\xB5\xC6\xD1\xD5\xC9\xAB";                   // 指示灯颜色
inline constexpr std::string_view kKeyLeft = "\xD7\xF3\xB1\xDF";  // 左边
inline constexpr std::string_view kKeyTop = "\xB6\xA5\xB1\xDF";   // 顶边
inline constexpr std::string_view kYes = "\xCA\xC7";              // 是
inline constexpr std::string_view kNo = "\xB7\xF1";               // 否

// A loaded file as its settings are read and written: in the encoding chosen for its bytes
// (ChooseSettingsEncoding), its text without a byte-order mark. A missing or unreadable file is an
// empty GBK text.
struct SettingsText {
    explicit SettingsText(SettingsFileContent file);
    // The file's bytes again: the mark, if it had one, and the text.
    std::string Bytes() const;

    SettingsEncoding encoding;
    std::string text;
};

// The value of `key` in the settings section of a loaded file, as GBK text, or `defaultText` when
// the file, the section or the key is missing. Keys and defaults are GBK.
std::string ReadSetting(const SettingsText& file, std::string_view key,
                        std::string_view defaultText);

// Sets `key` in the settings section of the file's text to `value`, both given in GBK and written
// in the file's encoding.
void WriteSetting(SettingsText& file, std::string_view key, std::string_view value);

// Reads the four settings from one load of the file and applies each before the next is read:
// the always-on-top flag (on exactly when the value is "是", default "是"), litColour (default
// 65280), the left edge (default: the bar centred on a primary screen `screenWidth` pixels wide)
// and the top edge (default 0).
void LoadSettings(SettingsStore& store, BarProperties& bar, int32_t screenWidth,
                  std::atomic<int32_t>& litColour);

// Writes the four settings in the order 前端显示, 指示灯颜色, 左边, 顶边, each value taken when
// its key is written, into one load of the file, in the file's encoding, then saves it once. All
// other bytes of the file stay as they were; an unreadable file is left alone, and a file that
// would not change is not rewritten.
void SaveSettings(SettingsStore& store, const BarProperties& bar,
                  const std::atomic<int32_t>& litColour);

}  // namespace oruvel
