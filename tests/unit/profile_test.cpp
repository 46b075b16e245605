#include "settings/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::string_literals;

namespace oruvel {
namespace {

std::string Show(const std::optional<std::string>& value) {
    return value ? "\"" + *value + "\"" : "(missing)";
}

TEST(ReadProfileValue, FollowsThePrivateProfileRules) {
    const struct {
        const char* name;
        std::string file;
        std::string section;
        std::string key;
        std::optional<std::string> expected;
    } cases[] = {
        {"crlf lines", "[s]\r\na=1\r\nk=2\r\n", "s", "k", "2"},
        {"lf lines", "[s]\na=1\nk=2\n", "s", "k", "2"},
        {"cr lines", "[s]\ra=1\rk=2\r", "s", "k", "2"},
        {"mixed line ends", "[s]\na=1\r\nb=2\rk=3", "s", "k", "3"},
        {"last line without end", "[s]\r\nk=2", "s", "k", "2"},
        {"ascii names ignore case", "[Colours]\r\nLit=5\r\n", "cOLOURS", "LIT", "5"},
        {"gbk names match exactly", "[\xB3\xCC\xD0\xF2]\r\n\xD7\xF3\xB1\xDF=7\r\n",
         "\xB3\xCC\xD0\xF2", "\xD7\xF3\xB1\xDF", "7"},
        {"high bytes are not case folded", "[s]\r\n\xC1\xA2=1\r\n", "s", "\xE1\xA2", std::nullopt},
        {"gbk trail byte that is a letter is not folded", "[s]\r\n\x81\x41=1\r\n", "s", "\x81\x61",
         std::nullopt},
        {"blanks around names", " \t[ s \t]  \r\n\t k \t= 9\r\n", "s", "k", "9"},
        {"text after the closing bracket", "[s] ; note\r\nk=1\r\n", "s", "k", "1"},
        {"gbk trail byte 0x5D does not close the section name",  // [乚乚]
         "[\x81\x5D\x81\x5D]\r\nk=6\r\n", "\x81\x5D\x81\x5D", "k", "6"},
        {"blanks around the value", "[s]\r\nk= \t 12 \t \r\n", "s", "k", "12"},
        {"double quotes", "[s]\r\nk=\"a b\"\r\n", "s", "k", "a b"},
        {"single quotes", "[s]\r\nk='a b'\r\n", "s", "k", "a b"},
        {"quotes inside blanks", "[s]\r\nk=  \"x\"  \r\n", "s", "k", "x"},
        {"blanks inside quotes stay", "[s]\r\nk=\" x \"\r\n", "s", "k", " x "},
        {"one pair of quotes only", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k", "\"x\""},
        {"unmatched quotes stay", "[s]\r\nk=\"x'\r\n", "s", "k", "\"x'"},
        {"a lone quote stays", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        {"empty quotes", "[s]\r\nk=''\r\n", "s", "k", ""},
        {"empty value", "[s]\r\nk=\r\n", "s", "k", ""},
        {"blank value", "[s]\r\nk=  \t\r\n", "s", "k", ""},
        {"equals sign in the value", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        {"first line of the key", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "1"},
        {"first section of the name", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "1"},
        {"key only in a later section of the name", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k",
         std::nullopt},
        {"key in another section", "[t]\r\nk=1\r\n[s]\r\na=2\r\n", "s", "k", std::nullopt},
        {"key before any section", "k=1\r\n[s]\r\n", "s", "k", std::nullopt},
        {"comment line", "[s]\r\n;k=1\r\n  ; k=2\r\nk=3\r\n", "s", "k", "3"},
        {"line without equals", "[s]\r\nk\r\nk=4\r\n", "s", "k", "4"},
        {"bracket without close is no section", "[s\r\nk=1\r\n", "s", "k", std::nullopt},
        {"missing section", "[t]\r\nk=1\r\n", "s", "k", std::nullopt},
        {"missing key", "[s]\r\na=1\r\n", "s", "k", std::nullopt},
        {"empty file", "", "s", "k", std::nullopt},
        {"no line ends at all", "[s] k=1", "s", "k", std::nullopt},
        {"nul bytes elsewhere", "\0\0[t]\0\r\n[s]\r\nk=1\r\n\0"s, "s", "k", "1"},
        {"nul byte ends the value", "[s]\r\nk=a\0b\r\n"s, "s", "k", "a"},
        {"nul byte ends the value before its blanks and quotes", "[s]\r\nk= 'a' \0x'\r\n"s, "s",
         "k", "a"},
        {"binary garbage before", "\xFF\xFE\x01[\x80=]\x1A\xA3\n[s]\nk=5\n", "s", "k", "5"},
        {"lead byte at the end", "[s]\r\nk=1\r\n\xB3", "s", "k", "1"},
        {"value cut to 10239 bytes", "[s]\r\nk=" + std::string(20000, 'x') + "\r\n", "s", "k",
         std::string(10239, 'x')},
        {"value of exactly 10239 bytes", "[s]\r\nk=" + std::string(10239, 'y'), "s", "k",
         std::string(10239, 'y')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Show(ReadProfileValue(c.file, c.section, c.key)), Show(c.expected)) << c.name;
    }
}

TEST(WriteProfileValue, ChangesOnlyTheKeysLine) {
    const struct {
        const char* name;
        std::string file;
        std::string section;
        std::string key;
        std::string value;
        std::string expected;
    } cases[] = {
        {"empty file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"replace, crlf", "[s]\r\nk=1\r\nz=2\r\n", "s", "k", "v", "[s]\r\nk=v\r\nz=2\r\n"},
        {"replace, lf", "[s]\nk=1\nz=2\n", "s", "k", "v", "[s]\nk=v\nz=2\n"},
        {"replace, cr", "[s]\rk=1\rz=2\r", "s", "k", "v", "[s]\rk=v\rz=2\r"},
        {"replace drops blanks around the equals sign", "[s]\r\n  k = 1 \r\n", "s", "k", "v",
         "[s]\r\nk=v\r\n"},
        {"replace on the last line without end", "[s]\r\nk=1", "s", "k", "v", "[s]\r\nk=v"},
        {"replace with an empty value", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
        {"replace the first line of the key", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "v",
         "[s]\r\nk=v\r\nk=2\r\n"},
        {"replace keeps the file's spelling of the key", "[S]\r\n Key =1\r\n", "s", "KEY", "v",
         "[S]\r\nKey=v\r\n"},
        {"replace keeps each line's own end", "[t]\nb=2\r\n[s]\rk=1\r\nz\n", "s", "k", "v",
         "[t]\nb=2\r\n[s]\rk=v\r\nz\n"},
        {"add key after the section's last line", "[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s", "k", "v",
         "[s]\r\na=1\r\nk=v\r\n\r\n[t]\r\nb=2\r\n"},
        {"add key before blank-only lines", "[s]\r\na=1\r\n \t\r\n[t]\r\n", "s", "k", "v",
         "[s]\r\na=1\r\nk=v\r\n \t\r\n[t]\r\n"},
        {"add key after a comment", "[s]\r\na=1\r\n;note\r\n\r\n", "s", "k", "v",
         "[s]\r\na=1\r\n;note\r\nk=v\r\n\r\n"},
        {"add key to a section that ends the file without line end", "[s]\r\na=1", "s", "k", "v",
         "[s]\r\na=1\r\nk=v\r\n"},
        {"add key after a lone section line", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"add key in an lf file", "[s]\na=1\n[t]\n", "s", "k", "v", "[s]\na=1\nk=v\n[t]\n"},
        {"add key in a cr file", "[s]\ra=1\r", "s", "k", "v", "[s]\ra=1\rk=v\r"},
        {"add key to the first section of the name", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", "v",
         "[s]\r\na=1\r\nk=v\r\n[s]\r\nk=2\r\n"},
        {"add key past a commented-out one", "[s]\r\n;k=1\r\n", "s", "k", "v",
         "[s]\r\n;k=1\r\nk=v\r\n"},
        {"add section, crlf", "[t]\r\nb=2\r\n", "s", "k", "v", "[t]\r\nb=2\r\n[s]\r\nk=v\r\n"},
        {"add section, lf", "[t]\nb=2\n", "s", "k", "v", "[t]\nb=2\n[s]\nk=v\n"},
        {"add section, cr", "[t]\rb=2\r", "s", "k", "v", "[t]\rb=2\r[s]\rk=v\r"},
        {"add section after a last line without end", "[t]\nb=2", "s", "k", "v",
         "[t]\nb=2\n[s]\nk=v\n"},
        {"add section to a file without line ends", "junk", "s", "k", "v",
         "junk\r\n[s]\r\nk=v\r\n"},
        {"nul bytes stay", "\0x\0\r\n[s]\r\nk=1\r\n\0"s, "s", "k", "v",
         "\0x\0\r\n[s]\r\nk=v\r\n\0"s},
        {"garbage stays", "\xFF\x01\xA3\r\n\x80[\r\n", "s", "k", "v",
         "\xFF\x01\xA3\r\n\x80[\r\n[s]\r\nk=v\r\n"},
        // A new line ends as the line before it. With the first line's lone CR it would run into
        // the LF of the empty line after it, and that line would be lost.
        {"add key before an empty line, first line ending in CR", "a\r[s]\n\n", "s", "k", "v",
         "a\r[s]\nk=v\n\n"},
        {"add key after a CR LF line in an LF file", "[s]\na=1\r\n\n", "s", "k", "v",
         "[s]\na=1\r\nk=v\r\n\n"},
        {"add key after a last line without end, first line ending in CR", "a\r[s]\nb=1", "s", "k",
         "v", "a\r[s]\nb=1\rk=v\r"},
        {"add section after a last line ending in LF, first in CR", "a\rb\n", "s", "k", "v",
         "a\rb\n[s]\nk=v\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteProfileValue(c.file, c.section, c.key, c.value), c.expected) << c.name;
    }
}

// Names and values that no read could find again are refused, and the file stays as it was:
// each would otherwise append another line on every write.
TEST(WriteProfileValue, RefusesWhatCouldNotBeReadBack) {
    const std::string file = "[t]\r\nk=1\r\n[s]\r\na=2\r\n";
    const struct {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
        bool writable;
    } cases[] = {
        {"plain names", "s", "k", "v", true},
        {"empty names and value", "", "", "", true},
        {"gbk names", "\xB3\xCC\xD0\xF2", "\xD7\xF3\xB1\xDF", "\xCA\xC7", true},
        {"gbk trail byte 0x5D in the section", "\x81\x5D", "k", "v", true},
        {"blanks inside names", "a b", "c d", " v ", true},
        {"nul bytes", "s\0"s, "k\0"s, "\0"s, true},
        {"section ending in a lone gbk lead byte", "\x81", "k", "v", false},
        {"section ending in a lone lead byte after a character", "\xB3\xCC\xD0", "k", "v", false},
        {"section with a leading blank", " s", "k", "v", false},
        {"section with a trailing tab", "s\t", "k", "v", false},
        {"section with a ']'", "s]x", "k", "v", false},
        {"section with a line end", "s\r\n[t", "k", "v", false},
        {"key with a trailing blank", "s", "k ", "v", false},
        {"key with a leading tab", "s", "\tk", "v", false},
        {"key with '='", "s", "k=1", "v", false},
        {"key like a comment", "s", ";k", "v", false},
        {"key like a section", "s", "[k", "]", false},
        {"key with a line end", "s", "k\n", "v", false},
        {"value with a line end", "s", "k", "v\r[t]", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanWriteProfileValue(c.section, c.key, c.value), c.writable) << c.name;
        const std::string written = WriteProfileValue(file, c.section, c.key, c.value);
        if (c.writable) {
            EXPECT_NE(written, file) << c.name;
            EXPECT_TRUE(ReadProfileValue(written, c.section, c.key).has_value()) << c.name;
        } else {
            EXPECT_EQ(written, file) << c.name;
        }
    }
}

// Whatever the file holds, what is written is what is read back, and nothing else changes.
TEST(WriteProfileValue, ReadsBackWhatItWrote) {
    const struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty", ""},
        {"only nul bytes", std::string(100, '\0')},
        {"garbage", "\xFF\xFE\x00\x01[[]]==;\r\r\n\n\xB3"s},
        {"key commented out and section twice", "[s]\r\n;k=1\r\n[s]\r\nk=2\r\n"},
        {"key without equals", "[s]\nk\n"},
        {"section line without close", "[s\r\nk=1\r\n"},
    };
    for (const auto& c : cases) {
        const std::string written = WriteProfileValue(c.file, "s", "k", "new");
        EXPECT_EQ(Show(ReadProfileValue(written, "s", "k")), Show("new")) << c.name;
        EXPECT_EQ(Show(ReadProfileValue(written, "t", "k")),
                  Show(ReadProfileValue(c.file, "t", "k")))
            << c.name;
    }
}

// A 50 MB file of one long line, of millions of empty lines with one kind of line end, or of
// binary garbage is read and written in one pass; a search that started over at each line would
// not finish.
TEST(ProfileString, HandlesHugeFiles) {
    constexpr std::size_t kSize = 50u << 20;
    const std::string tail = "\n[s]\nk=1\n";
    const struct {
        const char* name;
        char filler;
        bool garbage;
    } cases[] = {
        {"one long line", 'x', false},
        {"cr only lines", '\r', false},
        {"lf only lines", '\n', false},
        {"nul bytes and garbage", '\0', true},
    };
    for (const auto& c : cases) {
        std::string file;
        file.reserve(kSize + tail.size());
        file.assign(kSize, c.filler);
        if (c.garbage) {
            for (std::size_t i = 0; i < kSize; i += 7) {
                file[i] = static_cast<char>(i * 31);  // line ends, brackets, '=' and GBK lead bytes
            }
        }
        file += tail;
        EXPECT_EQ(Show(ReadProfileValue(file, "s", "k")), Show("1")) << c.name;
        const std::string written = WriteProfileValue(file, "t", "k", "2");
        EXPECT_EQ(written.compare(0, file.size(), file), 0) << c.name;
        EXPECT_EQ(Show(ReadProfileValue(written, "t", "k")), Show("2")) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
