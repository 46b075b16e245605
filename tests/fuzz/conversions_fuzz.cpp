// The number conversions of settings/conversions.h against the C library in the C locale:
// TextToNumber equals strtod on plain decimal text, whatever follows it and whether it is written
// in GBK full-width forms or with a 'd' exponent; the integer text of NumberToText reads back as
// the same integer; NumberToText of a double is "%.13g"; TruncateToInt keeps the low 32 bits of
// the truncation, and 0 for what lies outside the 64-bit range. Any bytes at all read as some
// number, never NaN.
//
// Input: a mode byte, then what the mode reads.
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "settings/conversions.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;
using fuzz::Shown;

std::string ShownNumber(double x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g (%a)", x, x);
    return text;
}

// Same number: equal, NaN never.
bool Same(double a, double b) {
    return a == b;
}

// Plain decimal text, built from the input: white space, a sign, digits with an optional point,
// an optional exponent after 'e' or 'E'. At least one digit.
std::string PlainDecimal(fuzz::Input& input) {
    static constexpr char kSpaces[] = " \t\n\v\f\r";
    std::string text;
    const uint8_t shape = input.Byte();
    for (int n = shape & 3; n > 0; --n) {
        text += kSpaces[input.Byte() % 6];
    }
    if (const int sign = (shape >> 2) % 3; sign > 0) {
        text += sign == 1 ? '+' : '-';
    }
    const auto digits = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            text += static_cast<char>('0' + input.Byte() % 10);
        }
    };
    const bool point = shape & 0x10;
    const size_t whole = input.Byte() % 40, fraction = point ? input.Byte() % 40 : 0;
    digits(whole == 0 && fraction == 0 ? 1 : whole);
    if (point) {
        text += '.';
        digits(fraction);
    }
    if (shape & 0x20) {
        text += (shape & 0x40) ? 'E' : 'e';
        const uint8_t sign = input.Byte() % 3;
        if (sign > 0) {
            text += sign == 1 ? '+' : '-';
        }
        digits(1 + input.Byte() % 4);
    }
    return text;
}

// The GBK full-width form of each printable ASCII character, and of the space.
std::string FullWidth(std::string_view text) {
    std::string wide;
    for (const char c : text) {
        if (c == ' ') {
            wide += "\xA1\xA1";
        } else if (c > ' ' && c < 0x7F) {
            wide += '\xA3';
            wide += static_cast<char>(c + 0x80);
        } else {
            wide += c;
        }
    }
    return wide;
}

void CheckPlainDecimal(fuzz::Input& input) {
    const std::string text = PlainDecimal(input);
    const double expected = std::strtod(text.c_str(), nullptr);
    const double got = oruvel::TextToNumber(text);
    Require(Same(got, expected), "TextToNumber of plain decimal text is strtod's number", [&] {
        return Shown(text) + " gives " + ShownNumber(got) + ", strtod " + ShownNumber(expected);
    });

    // A byte that cannot continue the number ends it, whatever comes after.
    static constexpr char kEnds[] = {'x', ';', ',', '/', ' ', '\t', '#', 'a', '\0'};
    const char end = kEnds[input.Byte() % sizeof kEnds];
    const std::string ended = text + end + std::string(input.Rest());
    Require(Same(oruvel::TextToNumber(ended), expected), "the first byte that does not fit ends",
            [&] { return Shown(ended) + " gives " + ShownNumber(oruvel::TextToNumber(ended)); });

    const std::string wide = FullWidth(text);
    Require(Same(oruvel::TextToNumber(wide), expected), "full-width forms count as ASCII",
            [&] { return Shown(wide) + " gives " + ShownNumber(oruvel::TextToNumber(wide)); });

    std::string withD = text;
    for (char& c : withD) {
        c = c == 'e' ? 'd' : c == 'E' ? 'D' : c;
    }
    Require(Same(oruvel::TextToNumber(withD), expected), "'d' and 'D' introduce an exponent",
            [&] { return Shown(withD) + " gives " + ShownNumber(oruvel::TextToNumber(withD)); });
}

void CheckInteger(fuzz::Input& input) {
    const auto number = input.Number<int32_t>();
    const std::string text = oruvel::NumberToText(number);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%d", number);
    Require(text == expected, "NumberToText of an integer is \"%d\"",
            [&] { return std::to_string(number) + " gives " + Shown(text); });
    const double read = oruvel::TextToNumber(text);
    Require(read == number && oruvel::TruncateToInt(read) == number,
            "an integer's text reads back as the integer",
            [&] { return Shown(text) + " reads as " + ShownNumber(read); });
}

void CheckDouble(fuzz::Input& input) {
    const auto number = input.Number<double>();

    // Truncated toward zero to 64 bits, then the low 32; 0 outside the 64-bit range and for NaN.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    int32_t truncated = 0;
    if (number >= -kTwoTo63 && number < kTwoTo63) {
        truncated = static_cast<int32_t>(
            static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(std::trunc(number)))));
    }
    Require(oruvel::TruncateToInt(number) == truncated, "TruncateToInt keeps the low 32 bits", [&] {
        return ShownNumber(number) + " gives " + std::to_string(oruvel::TruncateToInt(number)) +
               ", expected " + std::to_string(truncated);
    });

    if (!std::isfinite(number)) {
        return;
    }
    const std::string text = oruvel::NumberToText(number);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.13g", number);
    Require(text == expected, "NumberToText of a double is \"%.13g\"",
            [&] { return ShownNumber(number) + " gives " + Shown(text) + ", not " + expected; });
    const double read = oruvel::TextToNumber(text);
    const double expectedRead = std::strtod(expected, nullptr);
    Require(Same(read, expectedRead), "a double's text reads back as strtod reads it", [&] {
        return Shown(text) + " reads as " + ShownNumber(read) + ", strtod " +
               ShownNumber(expectedRead);
    });
}

void CheckAnyBytes(fuzz::Input& input) {
    const std::string_view text = input.Rest();
    const double read = oruvel::TextToNumber(text);
    Require(!std::isnan(read), "any text reads as a number",
            [&] { return Shown(text) + " gives " + ShownNumber(read); });
    // 'x' continues no number, and pairs with a last lead byte into no full-width form.
    const std::string ended = std::string(text) + "x";
    Require(Same(oruvel::TextToNumber(ended), read), "the end of the text ends the number",
            [&] { return Shown(ended) + " gives " + ShownNumber(oruvel::TextToNumber(ended)); });
    oruvel::TruncateToInt(read);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");  // the reference: strtod and printf with a '.' as the point
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    switch (input.Byte() % 4) {
        case 0:
            CheckPlainDecimal(input);
            break;
        case 1:
            CheckInteger(input);
            break;
        case 2:
            CheckDouble(input);
            break;
        default:
            CheckAnyBytes(input);
            break;
    }
    return 0;
}
