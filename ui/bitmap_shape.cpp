#include "ui/bitmap_shape.h"

#include <cstdlib>

namespace oruvel {

namespace {

// The parts of a bitmap file read here, as byte offsets from the start of the file.
// BITMAPFILEHEADER (14 bytes):
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kMagicAt = 0;         // "BM"
constexpr size_t kPixelOffsetAt = 10;  // uint32: where the pixel rows start
// BITMAPINFOHEADER (40 bytes), right after it:
constexpr size_t kInfoSizeAt = 14;     // uint32: size of this header; larger ones extend it
constexpr size_t kWidthAt = 18;        // int32
constexpr size_t kHeightAt = 22;       // int32: negative for rows stored top-down
constexpr size_t kPlanesAt = 26;       // uint16: always 1
constexpr size_t kBitsAt = 28;         // uint16: bits per pixel
constexpr size_t kCompressionAt = 30;  // uint32: 0 = BI_RGB, no compression
constexpr size_t kInfoHeaderSize = 40;

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint16_t ReadU16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

int32_t ReadI32(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<int32_t>(ReadU32(bytes, at));
}

}  // namespace

std::optional<DecodedBitmap> DecodeBitmapFile(std::span<const uint8_t> bytes) {
    if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[kMagicAt] != 'B' ||
        bytes[kMagicAt + 1] != 'M') {
        return std::nullopt;
    }
    // The older 12-byte core header has another layout; V4 and V5 headers only add fields.
    const uint64_t infoSize = ReadU32(bytes, kInfoSizeAt);
    const uint64_t headersEnd = kFileHeaderSize + infoSize;
    const uint64_t pixelOffset = ReadU32(bytes, kPixelOffsetAt);
    if (infoSize < kInfoHeaderSize || headersEnd > bytes.size() || pixelOffset < headersEnd) {
        return std::nullopt;
    }
    const int64_t width = ReadI32(bytes, kWidthAt);
    const int64_t storedHeight = ReadI32(bytes, kHeightAt);  // 64 bits: negating INT32_MIN is safe
    const int64_t height = std::abs(storedHeight);
    const int bitsPerPixel = ReadU16(bytes, kBitsAt);
    if (width <= 0 || width > kMaxBitmapSide || height == 0 || height > kMaxBitmapSide ||
        ReadU16(bytes, kPlanesAt) != 1 || (bitsPerPixel != 24 && bitsPerPixel != 32) ||
        ReadU32(bytes, kCompressionAt) != 0) {
        return std::nullopt;
    }
    // Every stored row, the last one too, is padded to a multiple of 4 bytes.
    const uint64_t bytesPerPixel = static_cast<uint64_t>(bitsPerPixel) / 8;
    const uint64_t rowStride = (static_cast<uint64_t>(width) * bytesPerPixel + 3) / 4 * 4;
    if (pixelOffset > bytes.size() ||
        rowStride * static_cast<uint64_t>(height) > bytes.size() - pixelOffset) {
        return std::nullopt;
    }

    DecodedBitmap bitmap;
    bitmap.width = static_cast<int>(width);
    bitmap.height = static_cast<int>(height);
    bitmap.pixels.resize(static_cast<size_t>(width * height));
    const bool bottomUp = storedHeight > 0;
    for (int64_t y = 0; y < height; ++y) {
        const int64_t storedRow = bottomUp ? height - 1 - y : y;
        const uint8_t* source = bytes.data() + pixelOffset + storedRow * rowStride;
        uint32_t* target = bitmap.pixels.data() + y * width;
        for (int64_t x = 0; x < width; ++x, source += bytesPerPixel) {
            // Stored blue, green, red (and an unused fourth byte at 32 bits).
            target[x] = static_cast<uint32_t>(source[2]) << 16 |
                        static_cast<uint32_t>(source[1]) << 8 | source[0];
        }
    }
    return bitmap;
}

std::vector<ShapeRun> ShapeRuns(const DecodedBitmap& bitmap, uint32_t transparentRgb) {
    std::vector<ShapeRun> runs;
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() <
            static_cast<uint64_t>(bitmap.width) * static_cast<uint64_t>(bitmap.height)) {
        return runs;
    }
    constexpr uint32_t kRgbMask = 0x00FFFFFF;
    const uint32_t transparent = transparentRgb & kRgbMask;
    for (int y = 0; y < bitmap.height; ++y) {
        const uint32_t* row = bitmap.pixels.data() + static_cast<size_t>(y) * bitmap.width;
        int x = 0;
        while (x < bitmap.width) {
            while (x < bitmap.width && (row[x] & kRgbMask) == transparent) {
                ++x;
            }
            const int start = x;
            while (x < bitmap.width && (row[x] & kRgbMask) != transparent) {
                ++x;
            }
            if (x > start) {
                runs.push_back({start, x, y});
            }
        }
    }
    return runs;
}

}  // namespace oruvel
