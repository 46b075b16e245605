#include "settings/settings_encoding.h"

#include <cstdint>
#include <optional>

#include "base/gbk.h"
#include "settings/profile.h"
#include "settings/settings.h"

namespace oruvel {
namespace {

struct GbkCharacter {
    char32_t codePoint;
    uint16_t gbk;  // lead byte, then trail byte
};

// The characters of the settings' names and of 是 and 否, and the full-width characters that
// TextToNumber knows outside the run U+FF01..U+FF5E <-> 0xA3A1..0xA3FE: GBK puts ＄ and ～
// elsewhere and gives their places in the run to ￥ and ￣.
constexpr GbkCharacter kKnownCharacters[] = {
    {U'程', 0xB3CC},     {U'序', 0xD0F2}, {U'配', 0xC5E4}, {U'置', 0xD6C3},  // the section
    {U'前', 0xC7B0},     {U'端', 0xB6CB}, {U'显', 0xCFD4}, {U'示', 0xCABE},  // the keys
    {U'指', 0xD6B8},     {U'灯', 0xB5C6}, {U'颜', 0xD1D5}, {U'色', 0xC9AB},  //
    {U'左', 0xD7F3},     {U'边', 0xB1DF}, {U'顶', 0xB6A5},                   //
    {U'是', 0xCAC7},     {U'否', 0xB7F1},                                    // the values
    {U'\u3000', 0xA1A1}, {U'＄', 0xA1E7}, {U'～', 0xA1AB},                   // ideographic space
    {U'￥', 0xA3A4},     {U'￣', 0xA3FE}, {U'☆', 0xA1EE},  {U'★', 0xA1EF},
};

constexpr char32_t kFullWidthFirst = U'！', kFullWidthLast = U'～';
constexpr uint16_t kFullWidthGbkFirst = 0xA3A1;

std::optional<uint16_t> GbkOf(char32_t codePoint) {
    for (const GbkCharacter& known : kKnownCharacters) {
        if (known.codePoint == codePoint) {
            return known.gbk;
        }
    }
    if (codePoint >= kFullWidthFirst && codePoint <= kFullWidthLast) {
        return static_cast<uint16_t>(kFullWidthGbkFirst + (codePoint - kFullWidthFirst));
    }
    return std::nullopt;
}

std::optional<char32_t> CodePointOf(uint16_t gbk) {
    for (const GbkCharacter& known : kKnownCharacters) {
        if (known.gbk == gbk) {
            return known.codePoint;
        }
    }
    if (gbk >= kFullWidthGbkFirst &&
        gbk <= kFullWidthGbkFirst + (kFullWidthLast - kFullWidthFirst)) {
        return kFullWidthFirst + (gbk - kFullWidthGbkFirst);
    }
    return std::nullopt;
}

// One UTF-8 character at the start of `text`: its code point and length, or nothing when the
// bytes there are no well-formed character (a stray continuation byte, a cut sequence, an overlong
// form, a surrogate, a value beyond U+10FFFF).
struct Utf8Character {
    char32_t codePoint;
    std::size_t length;
};

std::optional<Utf8Character> DecodeUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return Utf8Character{lead, 1};
    }
    std::size_t length;
    char32_t codePoint;
    char32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        codePoint = codePoint << 6 | (byte(i) & 0x3F);
    }
    if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return std::nullopt;
    }
    return Utf8Character{codePoint, length};
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;  // the common case, without the decoding
            continue;
        }
        const auto character = DecodeUtf8(text.substr(i));
        if (!character) {
            return false;
        }
        i += character->length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | codePoint >> 6));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {  // every character in the table lies in the Basic Multilingual Plane
        out.push_back(static_cast<char>(0xE0 | codePoint >> 12));
        out.push_back(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

}  // namespace

SettingsEncoding ChooseSettingsEncoding(std::string_view fileBytes) {
    if (fileBytes.starts_with(kUtf8Mark)) {
        return SettingsEncoding::kUtf8WithMark;
    }
    if (IsValidUtf8(fileBytes) && HasProfileSection(fileBytes, SettingsTextToUtf8(kSettingsSection),
                                                    ProfileEncoding::kUtf8)) {
        return SettingsEncoding::kUtf8;
    }
    return SettingsEncoding::kGbk;
}

std::string SettingsTextToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        const std::size_t length = IsGbkLeadByte(lead) && i + 1 < gbk.size() ? 2 : 1;
        const auto codePoint = length == 2
                                   ? CodePointOf(static_cast<uint16_t>(
                                         lead << 8 | static_cast<unsigned char>(gbk[i + 1])))
                                   : std::nullopt;
        if (codePoint) {
            AppendUtf8(out, *codePoint);
        } else {
            out.append(gbk.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string SettingsTextFromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto character = DecodeUtf8(utf8.substr(i));
        const std::size_t length = character ? character->length : 1;
        if (const auto gbk = length > 1 ? GbkOf(character->codePoint) : std::nullopt) {
            out.push_back(static_cast<char>(*gbk >> 8));
            out.push_back(static_cast<char>(*gbk & 0xFF));
        } else {
            out.append(utf8.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace oruvel
