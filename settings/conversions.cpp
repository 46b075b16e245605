#include "settings/conversions.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace oruvel {
namespace {

bool IsGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// The text with each GBK full-width form replaced by its ASCII character.
std::string FoldFullWidth(std::string_view gbk) {
    std::string folded;
    folded.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (!IsGbkLeadByte(lead)) {
            folded.push_back(gbk[i]);
            continue;
        }
        if (i + 1 == gbk.size()) {
            break;  // a lead byte without its trail byte
        }
        const auto trail = static_cast<unsigned char>(gbk[++i]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded.push_back('*');
        } else {
            folded.push_back(static_cast<char>(lead));
            folded.push_back(static_cast<char>(trail));
        }
    }
    return folded;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Beyond this decimal exponent every double is 0 or infinite; explicit exponents are held to
// it so that no digit count or exponent text can overflow the sums below.
constexpr int64_t kExponentLimit = 1'000'000'000'000'000;

}  // namespace

double TextToNumber(std::string_view gbk) {
    const std::string text = FoldFullWidth(gbk);
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    // The number is digits * 10^exponent, with `digits` free of leading zeros.
    std::string digits;
    int64_t exponent = 0;
    bool sawDigit = false;
    for (; i < n && IsDigit(text[i]); ++i) {
        sawDigit = true;
        if (!digits.empty() || text[i] != '0') {
            digits.push_back(text[i]);
        }
    }
    if (i < n && text[i] == '.') {
        for (++i; i < n && IsDigit(text[i]); ++i) {
            sawDigit = true;
            if (!digits.empty() || text[i] != '0') {
                digits.push_back(text[i]);
            }
            --exponent;
        }
    }
    if (!sawDigit) {
        return 0.0;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        // Without digits after it, the letter adds nothing: `written` stays 0.
        int64_t written = 0;
        for (; j < n && IsDigit(text[j]); ++j) {
            if (written < kExponentLimit) {
                written = written * 10 + (text[j] - '0');
            }
        }
        exponent += negativeExponent ? -written : written;
    }

    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    const double zero = negative ? -0.0 : 0.0;
    const double infinity = negative ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    if (digits.empty()) {
        return zero;
    }
    // Decimal exponent of the leading digit; doubles end near 1e308 and 1e-324.
    const int64_t magnitude = exponent + static_cast<int64_t>(digits.size()) - 1;
    if (magnitude > 400) {
        return infinity;
    }
    if (magnitude < -400) {
        return zero;
    }

    // from_chars rounds correctly and never looks at the locale.
    digits.push_back('e');
    digits.append(std::to_string(exponent));
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        return magnitude > 0 ? infinity : zero;
    }
    return negative ? -value : value;
}

std::string NumberToText(int32_t number) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

std::string NumberToText(double number) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

int32_t TruncateToInt(double number) {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    // Written so that NaN fails the test too.
    if (!(number >= -kTwoTo63 && number < kTwoTo63)) {
        return 0;
    }
    const auto whole = static_cast<uint64_t>(static_cast<int64_t>(number));
    return static_cast<int32_t>(static_cast<uint32_t>(whole));
}

}  // namespace oruvel
