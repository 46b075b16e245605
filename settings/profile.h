// Private-profile (INI) reading and writing on byte strings, with the rules of the Windows
// private-profile functions, so that the settings file reads the same whatever the system's
// ANSI code page is. Names and values are GBK bytes; nothing here decodes them.
//
// A file is a sequence of lines, each ended by "\r\n", "\n" or "\r" (the last may have no end).
// Blanks are spaces and tabs.
// - A section line starts, after blanks, with '[' and holds a ']'; the name is what lies
//   between '[' and the first ']' (not the trail byte of a GBK character), without surrounding
//   blanks. Anything after ']' is ignored.
// - A key line is any other line that holds '=' and does not start, after blanks, with ';':
//   the key is what lies before the first '=', the value what follows it.
// - Every other line (blank, comment, no '=') is kept but never read.
// Names match with ASCII letters compared without regard to case; GBK double-byte characters
// (lead byte 0x81..0xFE and the byte after it) and all other bytes compare exactly. A file read as
// UTF-8 pairs no bytes: UTF-8 never puts an ASCII byte inside a character.
// Only the first section of a name counts, and in it only the first line of a key.
// Every function runs in time linear in the size of the file, whatever bytes it holds.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace oruvel {

// The longest value a read gives: the system's reads fill a 10240-byte buffer with a
// terminating zero.
inline constexpr std::size_t kMaxProfileValueBytes = 10239;

// How the bytes of a file form characters, where a byte after a lead byte could be taken for ']'
// or an ASCII letter.
enum class ProfileEncoding { kGbk, kUtf8 };

// The value of `key` in `section` of the file `fileBytes`; nullopt when the section or the key
// is missing. The value loses its leading and trailing blanks, then one pair of double or single
// quotes when it begins and ends with the same one; an empty value gives "". A value ends at a
// NUL byte, as the zero-terminated text it is to its reader; a longer value is cut to its first
// kMaxProfileValueBytes bytes.
std::optional<std::string> ReadProfileValue(std::string_view fileBytes, std::string_view section,
                                            std::string_view key,
                                            ProfileEncoding encoding = ProfileEncoding::kGbk);

// Whether WriteProfileValue can write `value` for `key` in `section` so that ReadProfileValue
// finds it again. A valid section name has no line end ('\r', '\n'), no blank as its first or
// last byte, and no ']' outside a GBK double-byte character; in a GBK file its last byte is no
// lead byte without a trail byte (the ']' after it would be taken for one). A valid key has no line
// end, no blank as its first or last byte, no '=', and does not start with ';' (a comment) or '['
// (a section line). A valid value has no line end. The empty name is valid. The settings' own
// names and values always are.
bool CanWriteProfileValue(std::string_view section, std::string_view key, std::string_view value,
                          ProfileEncoding encoding = ProfileEncoding::kGbk);

// The bytes of `fileBytes` after setting `key` in `section` to `value`, or `fileBytes` unchanged
// when CanWriteProfileValue refuses them:
// - the key's line (as ReadProfileValue finds it) is rewritten as "key=value", with the key
//   spelled as in the file and the line's own line end;
// - a missing key gets the line "key=value" after the last non-blank line of the section;
// - a missing section gets "[section]" and "key=value" at the end of the file, on a new line.
// Every other line stays as it was, with its own line end. A new line ends as the line before
// it does; where that line has no end (the file's last line, which then gets one too), as the
// file's first line ends, or with "\r\n" when no line of the file has an end; an empty file
// gives "[section]\r\nkey=value\r\n". A read then gives `value` as ReadProfileValue cleans it.
std::string WriteProfileValue(std::string_view fileBytes, std::string_view section,
                              std::string_view key, std::string_view value,
                              ProfileEncoding encoding = ProfileEncoding::kGbk);

// Whether the file has a section line of that name.
bool HasProfileSection(std::string_view fileBytes, std::string_view section,
                       ProfileEncoding encoding);

}  // namespace oruvel
