// Conversions between the settings file's texts (GBK bytes) and numbers. None of them depends
// on the C locale, so a program running with a comma as decimal point reads and writes the same.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace oruvel {

// The number at the start of `gbk`. GBK full-width forms count as their ASCII characters first
// (0xA3A1..0xA3FE as 0x21..0x7E, 0xA1A1 as a space, 0xA1AB as '~', 0xA1EE and 0xA1EF as '*'; a
// lead byte as the last byte is dropped). Then: white space, an optional sign, digits with an
// optional '.', an optional exponent after 'e', 'E', 'd' or 'D'; the first byte that does not
// fit ends the number. Text without digits gives 0; a number too large for a double gives an
// infinity, one too small a zero. The result is the double nearest to the decimal number.
double TextToNumber(std::string_view gbk);

// Signed decimal digits ("%d").
std::string NumberToText(int32_t number);

// 13 significant digits, general notation ("%.13g"): 350.0 gives "350", 349.5 gives "349.5".
std::string NumberToText(double number);

// `number` truncated toward zero to 64 bits, then its low 32 bits. NaN, infinities and values
// outside the 64-bit range give 0. So 632.9 gives 632, 2^31 gives -2^31 and 2^32 gives 0.
int32_t TruncateToInt(double number);

}  // namespace oruvel
