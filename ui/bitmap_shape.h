// Decoding the bar's bitmap file and cutting the window's outline from it: the pixels of a
// chosen transparent colour are left out, everything else belongs to the shape.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace oruvel {

// A decoded picture. pixels holds width * height colours in rows from the top down, each row
// from left to right, as 0x00RRGGBB (red in bits 16..23, blue in bits 0..7, top byte zero).
// Note that this is not the Windows COLORREF layout 0x00BBGGRR.
struct DecodedBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Far larger than any picture of the program, and small enough that no size computed from the
// sides can overflow.
inline constexpr int kMaxBitmapSide = 16384;

// Decodes the complete bytes of a Windows bitmap (.bmp) file: an info header of at least the
// 40 bytes of BITMAPINFOHEADER, one plane, 24 or 32 bits per pixel without compression, rows
// stored bottom-up (positive height) or top-down (negative height), at most 16384 pixels wide
// and 16384 high (kMaxBitmapSide). The fourth byte of a 32-bit pixel is ignored. Anything else,
// and any file too short for the pixels it announces, gives nullopt; nothing outside `bytes` is
// read.
std::optional<DecodedBitmap> DecodeBitmapFile(std::span<const uint8_t> bytes);

// One horizontal run of the shape: the pixels x0 <= x < x1 of row y.
struct ShapeRun {
    int x0;
    int x1;
    int y;

    friend bool operator==(const ShapeRun&, const ShapeRun&) = default;
};

// The maximal runs of pixels whose colour differs from transparentRgb, given as 0x00RRGGBB like
// the pixels (the top byte of both is ignored); only an exact match is transparent. Rows come
// from the top down and the runs of a row from left to right. The union of the runs is the
// window's shape. A bitmap whose pixels do not fill width * height gives no runs.
std::vector<ShapeRun> ShapeRuns(const DecodedBitmap& bitmap, uint32_t transparentRgb);

}  // namespace oruvel
