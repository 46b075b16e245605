// The encoding of config.ini and the settings' text in UTF-8. This source is UTF-8, so its
// Chinese literals are UTF-8 bytes; GBK bytes are spelled out.
#include "settings/settings_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/profile.h"

using namespace std::string_literals;

namespace oruvel {
namespace {

const std::string kGbkSection = "[\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3]";  // [程序配置] in GBK
const std::string kMark = "\xEF\xBB\xBF";

const char* Name(SettingsEncoding encoding) {
    switch (encoding) {
        case SettingsEncoding::kGbk:
            return "GBK";
        case SettingsEncoding::kUtf8:
            return "UTF-8";
        case SettingsEncoding::kUtf8WithMark:
            return "UTF-8 with its mark";
    }
    return "?";
}

TEST(ChooseSettingsEncoding, MarkOrUtf8SectionMeansUtf8AndEverythingElseStaysGbk) {
    using enum SettingsEncoding;
    const struct {
        const char* name;
        std::string file;
        SettingsEncoding expected;
    } cases[] = {
        {"no file yet", "", kGbk},
        {"the GBK section", kGbkSection + "\r\n\xD7\xF3\xB1\xDF=5\r\n", kGbk},
        {"the UTF-8 section", "[程序配置]\r\n左边=5\r\n", kUtf8},
        {"the UTF-8 section with blanks, after another section", "[a]\nb=1\n  [ 程序配置 ]\n",
         kUtf8},
        {"the mark and the UTF-8 section", kMark + "[程序配置]\r\n", kUtf8WithMark},
        {"the mark alone", kMark, kUtf8WithMark},
        {"the mark and the GBK section", kMark + kGbkSection + "\r\n", kUtf8WithMark},
        {"ASCII without the section", "[other]\r\nx=1\r\n", kGbk},
        {"UTF-8 text without the section", "[其他]\r\n键=值\r\n", kGbk},
        {"the UTF-8 name in a comment only", "; [程序配置]\r\n", kGbk},
        {"the UTF-8 name as a value only", "[a]\r\nb=[程序配置]\r\n", kGbk},
        {"the UTF-8 section and a GBK byte", "[程序配置]\r\n; \xC4\xE3\r\n", kGbk},
        {"both sections, as an older save left a UTF-8 file",
         "[程序配置]\r\n左边=5\r\n" + kGbkSection + "\r\n", kGbk},
        {"the UTF-8 section and a cut character at the end", "[程序配置]\r\n\xE7\xA8", kGbk},
        {"the UTF-8 section and an overlong slash", "[程序配置]\r\n\xC0\xAF", kGbk},
        {"the UTF-8 section and a surrogate", "[程序配置]\r\n\xED\xA0\x80", kGbk},
        {"the UTF-8 section and a code point beyond U+10FFFF", "[程序配置]\r\n\xF4\x90\x80\x80",
         kGbk},
        {"the UTF-8 section and a four-byte character", "[程序配置]\r\n;\xF0\x9F\x98\x80\r\n",
         kUtf8},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(Name(ChooseSettingsEncoding(c.file)), Name(c.expected)) << c.name;
    }
}

TEST(SettingsText, TheSettingsOwnCharactersGoBetweenGbkAndUtf8) {
    const struct {
        const char* name;
        std::string gbk, utf8;
    } cases[] = {
        {"the section", "\xB3\xCC\xD0\xF2\xC5\xE4\xD6\xC3", "程序配置"},
        {"the keys",
         "\xC7\xB0\xB6\xCB\xCF\xD4\xCA\xBE \xD6\xB8\xCA\xBE\xB5\xC6\xD1\xD5\xC9\xAB "
         "\xD7\xF3\xB1\xDF \xB6\xA5\xB1\xDF",
         "前端显示 指示灯颜色 左边 顶边"},
        {"yes and no", "\xCA\xC7\xB7\xF1", "是否"},
        {"ASCII", "-12.5e3 x=1", "-12.5e3 x=1"},
        {"full-width digits, signs, point and letters",
         "\xA3\xAD\xA3\xB1\xA3\xB2\xA3\xAE\xA3\xB5\xA3\xC5\xA3\xAB\xA3\xB3", "－１２．５Ｅ＋３"},
        {"the ends of the full-width run", "\xA3\xA1\xA3\xFD", "！｝"},
        {"the full-width characters outside the run", "\xA1\xA1\xA1\xE7\xA1\xAB\xA3\xA4\xA3\xFE",
         "\u3000＄～￥￣"},
        {"the stars", "\xA1\xEE\xA1\xEF", "☆★"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsTextToUtf8(c.gbk), c.utf8) << c.name;
        EXPECT_EQ(SettingsTextFromUtf8(c.utf8), c.gbk) << c.name;
    }
}

TEST(SettingsText, OtherCharactersAndBytesAreLeftAsTheyAre) {
    const struct {
        const char* name;
        std::string in, expected;
        bool toUtf8;
    } cases[] = {
        {"a UTF-8 character outside the table", "是的", "\xCA\xC7的", false},
        {"a stray continuation byte, then a known character", "\x80是", "\x80\xCA\xC7", false},
        {"a cut UTF-8 character at the end", "1\xE7\xA8", "1\xE7\xA8", false},
        {"a GBK character outside the table keeps its trail byte", "\xC4\xE3\xA3\xB1", "\xC4\xE3１",
         true},
        {"a GBK lead byte at the end", "1\xA3", "1\xA3", true},
        {"a GBK character whose trail byte is ASCII", "\x81\x5D\xCA\xC7", "\x81\x5D是", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.toUtf8 ? SettingsTextToUtf8(c.in) : SettingsTextFromUtf8(c.in), c.expected)
            << c.name;
    }
}

// In UTF-8 no byte pairs with the next: 设 (E8 AE BE) ends in a byte that GBK would take as a lead
// byte, pairing it with the ']' or the ASCII letter after it.
TEST(ProfileEncoding, Utf8PairsNoBytes) {
    const std::string file = "[设]\nk=1\n[程序配置]\n设K=2\n";
    EXPECT_EQ(ReadProfileValue(file, "设", "k", ProfileEncoding::kUtf8), "1");
    EXPECT_EQ(ReadProfileValue(file, "设", "k", ProfileEncoding::kGbk), std::nullopt);
    EXPECT_EQ(ReadProfileValue(file, "程序配置", "设k", ProfileEncoding::kUtf8), "2");
    EXPECT_TRUE(HasProfileSection(file, "设", ProfileEncoding::kUtf8));
    EXPECT_FALSE(HasProfileSection(file, "设", ProfileEncoding::kGbk));
    EXPECT_EQ(WriteProfileValue(file, "设", "k", "3", ProfileEncoding::kUtf8),
              "[设]\nk=3\n[程序配置]\n设K=2\n");
}

}  // namespace
}  // namespace oruvel
