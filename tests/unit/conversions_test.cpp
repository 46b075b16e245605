#include "settings/conversions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace oruvel {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(TextToNumber, ParsesTheLeadingNumber) {
    const struct {
        const char* name;
        std::string text;
        double expected;
    } cases[] = {
        {"integer", "350", 350},
        {"fraction", "349.5", 349.5},
        {"negative", "-1", -1},
        {"plus sign", "+7", 7},
        {"leading white space", " \t\n\v\f\r42", 42},
        {"hexadecimal stops at the x", "0x00FF00", 0},
        {"exponent e", "1e3", 1000},
        {"exponent E", "1E3", 1000},
        {"exponent d", "1d3", 1000},
        {"exponent D", "2.5D-1", 0.25},
        {"exponent with plus", "1e+2", 100},
        {"letter without exponent digits", "1e", 1},
        {"exponent sign without digits", "7e-x", 7},
        {"letters after the digits", "65280abc", 65280},
        {"point without fraction", "5.", 5},
        {"fraction without integer", ".5", 0.5},
        {"comma is no decimal point", "1,5", 1},
        {"second point stops", "1.2.3", 1.2},
        {"empty", "", 0},
        {"no digits", "abc", 0},
        {"sign alone", "-", 0},
        {"point alone", ".", 0},
        {"exponent alone", "e5", 0},
        {"blank inside the number", "1 2", 1},
        {"full-width digits", "\xA3\xB6\xA3\xB5\xA3\xB2\xA3\xB8\xA3\xB0", 65280},  // ６５２８０
        {"full-width sign and point", "\xA3\xAD\xA3\xB1\xA3\xAE\xA3\xB5", -1.5},   // －１．５
        {"full-width exponent letter",
         "2\xA3\xC5"
         "2",
         200},  // 2Ｅ2
        {"ideographic space is white space",
         "\xA1\xA1"
         "42",
         42},
        {"wave dash folds to a tilde",
         "\xA1\xAB"
         "5",
         0},
        {"folded digits continue ascii ones",
         "1\xA3\xB2"
         "3",
         123},
        {"other gbk character stops",
         "12\xB0\xA1"
         "3",
         12},  // 啊
        {"lead byte at the end is dropped", "12\xA3", 12},
        {"ascii after a lead byte is its trail byte",
         "1\x81"
         "2",
         1},
        {"nul byte stops",
         std::string("12\0"
                     "3",
                     4),
         12},
        {"1e30", "1e30", 1e30},
        {"beyond a double", "1e309", kInfinity},
        {"far beyond a double", "-1e99999999999999999999999999", -kInfinity},
        {"below a double", "1e-400", 0},
        {"smallest subnormal", "4.9406564584124654e-324",
         std::numeric_limits<double>::denorm_min()},
        {"largest double", "1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"exponent with leading zeros", "1e0000000000000000000000003", 1000},
        {"leading zeros shift the magnitude", "0." + std::string(500, '0') + "1e600", 1e99},
        {"long digit strings", std::string(400, '9') + "e-400", 1},
        {"correctly rounded tie", "9007199254740993", 9007199254740992.0},
        {"correctly rounded past the tie", "9007199254740993.000000000000000000001",
         9007199254740994.0},
        {"nearest double to a tenth", "0.1", 0.1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextToNumber(c.text), c.expected) << c.name;
    }
}

// The C library's strtod rounds correctly too (glibc does, and the tests run in the "C"
// locale): on plain ASCII numbers the two must give the same double, bit for bit.
void ExpectSameAsStrtod(const std::string& text) {
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::bit_cast<uint64_t>(TextToNumber(text)), std::bit_cast<uint64_t>(expected))
        << text;
}

TEST(TextToNumber, AgreesWithStrtodOnRandomNumbers) {
    std::mt19937_64 random(12);
    const auto below = [&](int n) { return static_cast<int>(random() % n); };
    for (int i = 0; i < 20000; ++i) {
        std::string text = below(2) ? "-" : "";
        const int digits = 1 + below(below(4) == 0 ? 40 : 19);
        const int point = below(digits + 1);
        for (int d = 0; d < digits; ++d) {
            if (d == point) {
                text.push_back('.');
            }
            text.push_back(static_cast<char>('0' + below(10)));
        }
        text.push_back('e');
        text += std::to_string(below(700) - 350);
        ExpectSameAsStrtod(text);
    }
}

// Halfway between two neighbouring doubles, exactly, and just above and below it: the exact
// midpoint rounds to the even mantissa. Long double holds the midpoint exactly.
TEST(TextToNumber, RoundsAroundHalfwayPoints) {
    static_assert(std::numeric_limits<long double>::digits > std::numeric_limits<double>::digits);
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000; ++i) {
        // Every exponent range, subnormals and the largest doubles included.
        const double low = std::abs(std::bit_cast<double>(random() >> (i % 4 == 0 ? 10 : 1)));
        const double high = std::nextafter(low, std::numeric_limits<double>::infinity());
        if (!std::isfinite(high)) {
            continue;  // a NaN pattern, or the largest double
        }
        const long double middle = (static_cast<long double>(low) + high) / 2;
        char buffer[900];
        std::snprintf(buffer, sizeof buffer, "%.800Le", middle);
        const std::string exact = buffer;
        const std::size_t e = exact.find('e');
        std::string mantissa = exact.substr(0, e);
        mantissa.erase(mantissa.find_last_not_of('0') + 1);
        std::string lower = mantissa;
        --lower.back();  // the last digit is nonzero
        ExpectSameAsStrtod(exact);
        ExpectSameAsStrtod(mantissa + "0000001" + exact.substr(e));
        ExpectSameAsStrtod(lower + "9999999" + exact.substr(e));
    }
}

TEST(TextToNumber, KeepsTheSignOfZero) {
    EXPECT_TRUE(std::signbit(TextToNumber("-0.0")));
    EXPECT_FALSE(std::signbit(TextToNumber("0e5")));
}

TEST(NumberToText, FormatsIntegersAsSignedDecimal) {
    const struct {
        int32_t number;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {350, "350"},
        {-1, "-1"},
        {65280, "65280"},
        {INT32_MAX, "2147483647"},
        {INT32_MIN, "-2147483648"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberToText(c.number), c.expected) << c.number;
    }
}

TEST(NumberToText, FormatsDoublesWith13SignificantDigits) {
    const struct {
        double number;
        const char* expected;
    } cases[] = {
        {350.0, "350"},
        {349.5, "349.5"},
        {-50.0, "-50"},
        {0.0, "0"},
        {1.0 / 3, "0.3333333333333"},
        {1234567890123.0, "1234567890123"},
        {1e13, "1e+13"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {2.0 / 3 * 1e20, "6.666666666667e+19"},
        {1234567890123.5, "1234567890124"},  // exact ties round to the even digit
        {1234567890122.5, "1234567890122"},
        {9999999999999.5, "1e+13"},  // the carry adds a digit
        {0.000099999999999996, "0.0001"},
        {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
        {std::numeric_limits<double>::max(), "1.797693134862e+308"},
        {-0.0, "-0"},
        {kInfinity, "inf"},
        {-kInfinity, "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberToText(c.number), c.expected) << c.expected;
    }
}

// What the C library prints for "%.13g" in the "C" locale, exactly (glibc rounds exactly).
TEST(NumberToText, AgreesWithPrintfOnRandomDoubles) {
    std::mt19937_64 random(13);
    for (int i = 0; i < 20000; ++i) {
        double number = std::bit_cast<double>(random());
        if (i % 2 == 1) {
            // 14 significant digits, the last one often a 5: near and at the rounding ties.
            number = static_cast<double>(random() % 100'000'000'000'000) / 10;
        }
        if (!std::isfinite(number)) {
            continue;
        }
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.13g", number);
        EXPECT_EQ(NumberToText(number), expected) << std::bit_cast<uint64_t>(number);
    }
}

TEST(TruncateToInt, TruncatesThroughSixtyFourBits) {
    const double twoTo63 = 9223372036854775808.0;
    const struct {
        const char* name;
        double number;
        int32_t expected;
    } cases[] = {
        {"632.9", 632.9, 632},
        {"-632.9", -632.9, -632},
        {"-0.5", -0.5, 0},
        {"2^31", 2147483648.0, INT32_MIN},
        {"2^32 - 1", 4294967295.0, -1},
        {"2^32", 4294967296.0, 0},
        {"2^32 + 5.7", 4294967301.7, 5},
        {"-2^32 - 1", -4294967297.0, -1},
        {"largest below 2^63", twoTo63 - 1024, -1024},
        {"-2^63", -twoTo63, 0},
        {"just above -2^63", -twoTo63 + 1024, 1024},
        {"2^63", twoTo63, 0},
        {"1e30", 1e30, 0},
        {"-1e30", -1e30, 0},
        {"infinity", kInfinity, 0},
        {"minus infinity", -kInfinity, 0},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TruncateToInt(c.number), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
