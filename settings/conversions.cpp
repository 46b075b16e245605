#include "settings/conversions.h"

#include <array>
#include <bit>

#include "base/gbk.h"

namespace oruvel {
namespace {

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

// Both conversions work on the exact values with integer arithmetic, so they round correctly
// and need neither the C library's number formatting (locale-dependent) nor its tables.

// Beyond this decimal exponent of the leading digit every double is 0 or infinite.
constexpr int kMagnitudeLimit = 400;
// No halfway point between two doubles has more than 767 significant digits: beyond this many,
// the digits only tell whether the number lies above such a point, which one nonzero digit in
// their place tells as well.
constexpr int kSignificantDigits = 800;
// Explicit exponents are held to this, so that no digit count or exponent text can overflow the
// sums below.
constexpr int64_t kExponentLimit = 1'000'000'000'000'000;

constexpr int kMantissaBits = 53;      // with the leading one
constexpr int kLeastExponent = -1074;  // of the smallest subnormal, 2^-1074
constexpr int kBiasedInfinity = 2047;

// The most bits a number reaches in the conversions: a power of ten below 10^(400 + 801) with
// room for the quotient's 56 bits (3.3220 > log2 10).
constexpr int kMaxBits = (kMagnitudeLimit + kSignificantDigits + 1) * 33220 / 10000 + 1 + 56;

// A non-negative integer of at most kMaxBits bits, with the few operations the conversions use.
class BigNumber {
  public:
    explicit BigNumber(uint32_t value) {
        limbs_[0] = value;
        size_ = value != 0 ? 1 : 0;
    }

    bool IsZero() const { return size_ == 0; }

    int BitLength() const {
        return size_ == 0 ? 0 : (size_ - 1) * 32 + std::bit_width(limbs_[size_ - 1]);
    }

    // *this = *this * factor + addend.
    void MultiplyAdd(uint32_t factor, uint32_t addend) {
        uint64_t carry = addend;
        for (int i = 0; i < size_; ++i) {
            carry += uint64_t{limbs_[i]} * factor;
            limbs_[i] = static_cast<uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0) {
            limbs_[size_++] = static_cast<uint32_t>(carry);
        }
    }

    void MultiplyByPowerOf(uint32_t base, int power) {
        // base^13 fits in 32 bits for base 5 and base^9 for base 10.
        const int step = base == 5 ? 13 : 9;
        uint32_t stepFactor = 1;
        for (int i = 0; i < step; ++i) {
            stepFactor *= base;
        }
        for (; power >= step; power -= step) {
            MultiplyAdd(stepFactor, 0);
        }
        for (; power > 0; --power) {
            MultiplyAdd(base, 0);
        }
    }

    // *this = *this / divisor; returns the remainder.
    uint32_t Divide(uint32_t divisor) {
        uint64_t remainder = 0;
        for (int i = size_ - 1; i >= 0; --i) {
            const uint64_t part = remainder << 32 | limbs_[i];
            limbs_[i] = static_cast<uint32_t>(part / divisor);
            remainder = part % divisor;
        }
        Trim();
        return static_cast<uint32_t>(remainder);
    }

    void ShiftLeft(int bits) {
        const int whole = bits / 32;
        const int part = bits % 32;
        if (size_ == 0) {
            return;
        }
        limbs_[size_ + whole] = 0;
        for (int i = size_ - 1; i >= 0; --i) {
            const uint64_t moved = uint64_t{limbs_[i]} << part;
            limbs_[i + whole + 1] |= static_cast<uint32_t>(moved >> 32);
            limbs_[i + whole] = static_cast<uint32_t>(moved);
        }
        for (int i = 0; i < whole; ++i) {
            limbs_[i] = 0;
        }
        size_ += whole + 1;
        Trim();
    }

    void ShiftRightOne() {
        for (int i = 0; i < size_; ++i) {
            const uint32_t next = i + 1 < size_ ? limbs_[i + 1] : 0;
            limbs_[i] = limbs_[i] >> 1 | next << 31;
        }
        Trim();
    }

    // Subtracts `other`, which is at most *this.
    void Subtract(const BigNumber& other) {
        int64_t borrow = 0;
        for (int i = 0; i < size_; ++i) {
            const int64_t difference =
                int64_t{limbs_[i]} - (i < other.size_ ? other.limbs_[i] : 0) - borrow;
            limbs_[i] = static_cast<uint32_t>(difference);
            borrow = difference < 0 ? 1 : 0;
        }
        Trim();
    }

    friend int Compare(const BigNumber& a, const BigNumber& b) {
        if (a.size_ != b.size_) {
            return a.size_ < b.size_ ? -1 : 1;
        }
        for (int i = a.size_ - 1; i >= 0; --i) {
            if (a.limbs_[i] != b.limbs_[i]) {
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
            }
        }
        return 0;
    }

  private:
    void Trim() {
        while (size_ > 0 && limbs_[size_ - 1] == 0) {
            --size_;
        }
    }

    // One spare limb: ShiftLeft writes one past the highest limb it fills.
    std::array<uint32_t, kMaxBits / 32 + 2> limbs_{};
    int size_ = 0;
};

double DoubleFromBits(bool negative, uint64_t bits) {
    return std::bit_cast<double>(bits | (negative ? uint64_t{1} << 63 : 0));
}

// The double nearest to digits * 10^exponent (ties to the even mantissa). `digits` holds at
// most kSignificantDigits + 1 decimal digits, the first nonzero; the leading digit's decimal
// exponent lies within +-kMagnitudeLimit.
double NearestDouble(bool negative, std::string_view digits, int exponent) {
    // value = numerator / denominator, both integers.
    BigNumber numerator(0);
    for (const char digit : digits) {
        numerator.MultiplyAdd(10, static_cast<uint32_t>(digit - '0'));
    }
    BigNumber denominator(1);
    if (exponent >= 0) {
        numerator.MultiplyByPowerOf(10, exponent);
    } else {
        denominator.MultiplyByPowerOf(10, -exponent);
    }

    // quotient = floor(value / 2^scale): 54 to 56 bits, or fewer where the result is subnormal,
    // so at least one bit below the mantissa's last is in it. The value lies below
    // 2^(length difference + 1).
    constexpr int kQuotientBits = 56;
    int scale = numerator.BitLength() - denominator.BitLength() - (kQuotientBits - 1);
    scale = scale < kLeastExponent - 1 ? kLeastExponent - 1 : scale;
    if (scale < 0) {
        numerator.ShiftLeft(-scale);
    } else {
        denominator.ShiftLeft(scale);
    }
    denominator.ShiftLeft(kQuotientBits - 1);
    uint64_t quotient = 0;
    for (int bit = kQuotientBits - 1;; --bit) {
        if (Compare(numerator, denominator) >= 0) {
            numerator.Subtract(denominator);
            quotient |= uint64_t{1} << bit;
        }
        if (bit == 0) {
            break;
        }
        denominator.ShiftRightOne();
    }
    const bool remainderBelow = !numerator.IsZero();

    // Drop the bits below the mantissa (at least one, since the quotient has a bit below it),
    // and those below 2^-1074.
    int dropped = std::bit_width(quotient) - kMantissaBits;
    dropped = dropped < kLeastExponent - scale ? kLeastExponent - scale : dropped;
    const uint64_t halfBit = uint64_t{1} << (dropped - 1);
    const bool aboveHalf = (quotient & (halfBit - 1)) != 0 || remainderBelow;
    uint64_t mantissa = quotient >> dropped;
    if ((quotient & halfBit) != 0 && (aboveHalf || (mantissa & 1) != 0)) {
        ++mantissa;
    }
    int binaryExponent = scale + dropped;  // value = mantissa * 2^binaryExponent
    if (mantissa == uint64_t{1} << kMantissaBits) {
        mantissa >>= 1;
        ++binaryExponent;
    }

    constexpr uint64_t kHiddenBit = uint64_t{1} << (kMantissaBits - 1);
    if (mantissa < kHiddenBit) {
        return DoubleFromBits(negative, mantissa);  // subnormal or zero: exponent field 0
    }
    const int biased = binaryExponent + (kMantissaBits - 1) + 1023;
    if (biased >= kBiasedInfinity) {
        return DoubleFromBits(negative, uint64_t{kBiasedInfinity} << 52);
    }
    return DoubleFromBits(negative, uint64_t(biased) << 52 | (mantissa - kHiddenBit));
}

// The decimal digits of `number`, most significant first ("" for 0).
std::string DecimalDigits(BigNumber number) {
    std::string reversed;
    while (!number.IsZero()) {
        uint32_t chunk = number.Divide(1'000'000'000);
        for (int i = 0; i < 9; ++i) {
            reversed.push_back(static_cast<char>('0' + chunk % 10));
            chunk /= 10;
        }
    }
    while (!reversed.empty() && reversed.back() == '0') {
        reversed.pop_back();
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

// "e+13", "e-05": the exponent of printf's "%e", at least two digits.
std::string ExponentText(int exponent) {
    std::string text = exponent < 0 ? "e-" : "e+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) {
        text.push_back('0');
    }
    text += NumberToText(static_cast<int32_t>(magnitude));
    return text;
}

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
    if (digits.empty()) {
        return DoubleFromBits(negative, 0);
    }
    // Decimal exponent of the leading digit.
    const int64_t magnitude = exponent + static_cast<int64_t>(digits.size()) - 1;
    if (magnitude > kMagnitudeLimit) {
        return DoubleFromBits(negative, uint64_t{kBiasedInfinity} << 52);
    }
    if (magnitude < -kMagnitudeLimit) {
        return DoubleFromBits(negative, 0);
    }
    // The last digit is nonzero, so cut digits are never all zero.
    if (digits.size() > kSignificantDigits) {
        exponent += static_cast<int64_t>(digits.size()) - (kSignificantDigits + 1);
        digits.resize(kSignificantDigits);
        digits.push_back('1');
    }
    return NearestDouble(negative, digits, static_cast<int>(exponent));
}

std::string NumberToText(int32_t number) {
    // Through 64 bits, so that the most negative value has a magnitude too.
    int64_t magnitude = number;
    std::string text;
    if (magnitude < 0) {
        text.push_back('-');
        magnitude = -magnitude;
    }
    char reversed[10];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) {
        text.push_back(reversed[--count]);
    }
    return text;
}

std::string NumberToText(double number) {
    constexpr int kPrecision = 13;
    const auto bits = std::bit_cast<uint64_t>(number);
    std::string text = (bits >> 63) != 0 ? "-" : "";
    const int biased = static_cast<int>(bits >> 52 & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == kBiasedInfinity) {
        return text + (fraction == 0 ? "inf" : "nan");
    }

    // |number| = mantissa * 2^binaryExponent = integer * 10^decimalShift, exactly.
    const uint64_t mantissa = biased == 0 ? fraction : fraction | uint64_t{1} << 52;
    const int binaryExponent = (biased == 0 ? 1 : biased) - 1075;
    BigNumber integer(static_cast<uint32_t>(mantissa >> 32));
    integer.ShiftLeft(32);
    integer.MultiplyAdd(1, static_cast<uint32_t>(mantissa));
    int decimalShift = 0;
    if (binaryExponent >= 0) {
        integer.ShiftLeft(binaryExponent);
    } else {
        integer.MultiplyByPowerOf(5, -binaryExponent);  // 2^-k = 5^k * 10^-k
        decimalShift = binaryExponent;
    }
    std::string digits = DecimalDigits(integer);
    if (digits.empty()) {
        return text + "0";
    }
    // The decimal exponent of the leading digit, as "%e" would show it.
    int exponent = decimalShift + static_cast<int>(digits.size()) - 1;

    // Round to kPrecision digits, ties to even: the digits are exact, so the tie is real.
    if (digits.size() > kPrecision) {
        const char next = digits[kPrecision];
        const bool beyond = digits.find_first_not_of('0', kPrecision + 1) != std::string::npos;
        const bool odd = (digits[kPrecision - 1] - '0') % 2 != 0;
        digits.resize(kPrecision);
        if (next > '5' || (next == '5' && (beyond || odd))) {
            int i = kPrecision - 1;
            while (i >= 0 && digits[i] == '9') {
                digits[i--] = '0';
            }
            if (i < 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[i];
            }
        }
    }
    while (digits.back() == '0') {
        digits.pop_back();
    }

    // "%g": exponent notation below 10^-4 and from 10^precision on; no trailing zeros.
    if (exponent < -4 || exponent >= kPrecision) {
        text.push_back(digits[0]);
        if (digits.size() > 1) {
            text.push_back('.');
            text.append(digits, 1);
        }
        return text + ExponentText(exponent);
    }
    if (exponent < 0) {
        return text + "0." + std::string(-exponent - 1, '0') + digits;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        return text + digits + std::string(integerDigits - digits.size(), '0');
    }
    return text + digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
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
