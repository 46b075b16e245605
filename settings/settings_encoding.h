// The encoding of config.ini. The program writes GBK, but a user who edits the file by hand may
// save it as UTF-8 (Notepad does by default); such a file is read and written back as UTF-8, so
// it never ends up holding two encodings.
#pragma once

#include <string>
#include <string_view>

namespace oruvel {

enum class SettingsEncoding {
    kGbk,
    kUtf8,          // without a byte-order mark
    kUtf8WithMark,  // starts with the byte-order mark EF BB BF, which a save keeps
};

// The encoding of a settings file's bytes: UTF-8 with its mark when it starts with the UTF-8
// byte-order mark; UTF-8 when all of it is valid UTF-8 and it has a section line "[程序配置]" in
// UTF-8; otherwise GBK, so a GBK file, a new file and a file without the section stay as they are.
// (A valid UTF-8 file cannot hold the section's name in GBK: its bytes are no UTF-8.)
SettingsEncoding ChooseSettingsEncoding(std::string_view fileBytes);

inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The settings' own text between GBK and UTF-8: the characters of the section and key names, of
// 是 and 否, and those that numbers may be typed in (the ideographic space, the full-width forms
// U+FF01..U+FF5E, ￣, ￥, ☆ and ★, which TextToNumber reads as ASCII). Every other byte is left as
// it is: no such character can make a value read differently.
std::string SettingsTextToUtf8(std::string_view gbk);
std::string SettingsTextFromUtf8(std::string_view utf8);

}  // namespace oruvel
