// The encoding choice of a settings file (settings/settings_encoding.h): a file that starts with
// the UTF-8 mark is UTF-8 with its mark; otherwise UTF-8 exactly when all of it is valid UTF-8
// (checked here on its own terms) and it has a section line of the settings' section in UTF-8;
// GBK in every other case. And the settings' own text, the section and key names, 是, 否, the
// full-width digits and signs, mixed with ASCII, goes to valid UTF-8 and back to the same bytes.
//
// Input: a mode byte; mode 0 takes the rest as a file, mode 1 builds a file around the section
// line in UTF-8, mode 2 builds the settings' text from pieces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/profile.h"
#include "settings/settings.h"
#include "settings/settings_encoding.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;
using fuzz::Shown;
using oruvel::SettingsEncoding;

// Well-formed UTF-8 by its definition: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        size_t length = 0;
        uint32_t codePoint = 0, least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, codePoint = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, codePoint = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, codePoint = b & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            codePoint = codePoint << 6 | (c & 0x3F);
        }
        if (codePoint < least || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void CheckChoice(std::string_view file) {
    const SettingsEncoding chosen = oruvel::ChooseSettingsEncoding(file);
    const std::string utf8Section = oruvel::SettingsTextToUtf8(oruvel::kSettingsSection);
    SettingsEncoding expected = SettingsEncoding::kGbk;
    if (file.starts_with(oruvel::kUtf8Mark)) {
        expected = SettingsEncoding::kUtf8WithMark;
    } else if (IsValidUtf8(file) &&
               oruvel::HasProfileSection(file, utf8Section, oruvel::ProfileEncoding::kUtf8)) {
        expected = SettingsEncoding::kUtf8;
    }
    Require(chosen == expected,
            "the encoding is chosen by the mark, then valid UTF-8 with the "
            "section",
            [&] {
                return "file " + Shown(file) + ": chose " +
                       std::to_string(static_cast<int>(chosen)) + ", expected " +
                       std::to_string(static_cast<int>(expected));
            });
}

// The settings' own text: names, values and number characters in GBK, with ASCII between them.
std::string SettingsText(fuzz::Input& input) {
    static const std::string_view kPieces[] = {
        oruvel::kSettingsSection,
        oruvel::kKeyAlwaysOnTop,
        oruvel::kKeyLitColour,
        oruvel::kKeyLeft,
        oruvel::kKeyTop,
        oruvel::kYes,
        oruvel::kNo,
        "\xA3\xB0",  // ０
        "\xA3\xAD",  // －
        "\xA1\xA1",  // the ideographic space
    };
    std::string text;
    while (!input.Rest().empty() && text.size() < 200) {
        const uint8_t pick = input.Byte();
        if (pick < 0x80) {
            text.push_back(static_cast<char>(pick));  // ASCII
        } else {
            text.append(kPieces[pick % std::size(kPieces)]);
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    switch (input.Byte() % 3) {
        case 0:
            CheckChoice(input.Rest());
            break;
        case 1: {
            const std::string before(input.Short(40));
            const std::string section =
                "[" + oruvel::SettingsTextToUtf8(oruvel::kSettingsSection) + "]";
            CheckChoice(before + section + std::string(input.Rest()));
            break;
        }
        case 2: {
            const std::string gbk = SettingsText(input);
            const std::string utf8 = oruvel::SettingsTextToUtf8(gbk);
            Require(IsValidUtf8(utf8), "the settings' text becomes valid UTF-8",
                    [&] { return Shown(gbk) + " became " + Shown(utf8); });
            Require(oruvel::SettingsTextFromUtf8(utf8) == gbk,
                    "the settings' text comes back from UTF-8 unchanged", [&] {
                        return Shown(gbk) + " came back as " +
                               Shown(oruvel::SettingsTextFromUtf8(utf8));
                    });
            break;
        }
    }
    return 0;
}
