// GBK, the code page of the settings file's texts: which bytes start a double-byte character.
#pragma once

namespace oruvel {

// A lead byte (0x81..0xFE) takes the byte after it into one character, whatever that byte is.
constexpr bool IsGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace oruvel
