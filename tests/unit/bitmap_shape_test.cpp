#include "ui/bitmap_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

namespace oruvel {

// Readable runs in failure messages.
void PrintTo(const ShapeRun& run, std::ostream* os) {
    *os << "{x " << run.x0 << ".." << run.x1 << ", y " << run.y << "}";
}

namespace {

constexpr uint32_t kMagenta = 0xFF00FF;

// Writes v little-endian at byte offset `at`.
void Set16(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Set32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    Set16(bytes, at, v & 0xFFFF);
    Set16(bytes, at + 2, v >> 16);
}

struct Layout {
    int bits = 32;
    bool topDown = false;
    uint32_t infoSize = 40;
};

// A bitmap file holding `pixels` (0x00RRGGBB, rows from the top down) in the given layout.
std::vector<uint8_t> MakeBitmapFile(int width, int height, const std::vector<uint32_t>& pixels,
                                    Layout layout) {
    const size_t bytesPerPixel = layout.bits / 8;
    const size_t stride = (width * bytesPerPixel + 3) / 4 * 4;
    const size_t offset = 14 + layout.infoSize;
    std::vector<uint8_t> bytes(offset + stride * height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    Set32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    Set32(bytes, 10, static_cast<uint32_t>(offset));
    Set32(bytes, 14, layout.infoSize);
    Set32(bytes, 18, static_cast<uint32_t>(width));
    Set32(bytes, 22, static_cast<uint32_t>(layout.topDown ? -height : height));
    Set16(bytes, 26, 1);
    Set16(bytes, 28, static_cast<uint32_t>(layout.bits));
    for (int y = 0; y < height; ++y) {
        const size_t storedRow = layout.topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = pixels[y * width + x];
            uint8_t* p = bytes.data() + offset + storedRow * stride + x * bytesPerPixel;
            p[0] = static_cast<uint8_t>(rgb);        // blue
            p[1] = static_cast<uint8_t>(rgb >> 8);   // green
            p[2] = static_cast<uint8_t>(rgb >> 16);  // red
            if (layout.bits == 32) {
                p[3] = 0xEE;  // the unused byte; must not leak into the colour
            }
        }
    }
    return bytes;
}

// A 4 x 3 picture with every kind of row: two runs split by magenta, no run at all, and a
// colour one step away from magenta, which is not transparent.
constexpr int kWidth = 4;
constexpr int kHeight = 3;
const std::vector<uint32_t> kPicture = {
    kMagenta, 0x102030, kMagenta, 0xA0B0C0,  //
    kMagenta, kMagenta, kMagenta, kMagenta,  //
    0xFFFFFF, 0xFE00FF, 0x000000, kMagenta,  //
};
const std::vector<ShapeRun> kPictureRuns = {{1, 2, 0}, {3, 4, 0}, {0, 3, 2}};

TEST(DecodeBitmapFile, DecodesEveryLayoutToTheSamePixelsAndRuns) {
    const struct {
        const char* name;
        int width;
        int height;
        Layout layout;
    } cases[] = {
        {"32 bpp bottom-up", kWidth, kHeight, {32, false, 40}},
        {"32 bpp top-down", kWidth, kHeight, {32, true, 40}},
        {"24 bpp bottom-up", kWidth, kHeight, {24, false, 40}},
        {"24 bpp top-down, rows padded", kWidth - 1, kHeight, {24, true, 40}},
        {"32 bpp with a 124-byte header", kWidth, kHeight, {32, false, 124}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                pixels.push_back(kPicture[y * kWidth + x]);
            }
        }
        const auto decoded = DecodeBitmapFile(MakeBitmapFile(c.width, c.height, pixels, c.layout));
        ASSERT_TRUE(decoded.has_value()) << c.name;
        EXPECT_EQ(decoded->width, c.width) << c.name;
        EXPECT_EQ(decoded->height, c.height) << c.name;
        EXPECT_EQ(decoded->pixels, pixels) << c.name;
        std::vector<ShapeRun> expectedRuns;
        for (const ShapeRun& run : kPictureRuns) {
            if (run.x0 < c.width) {
                expectedRuns.push_back({run.x0, std::min(run.x1, c.width), run.y});
            }
        }
        EXPECT_EQ(ShapeRuns(*decoded, kMagenta), expectedRuns) << c.name;
    }
}

TEST(DecodeBitmapFile, RejectsWhatItCannotDecodeSafely) {
    using Bytes = std::vector<uint8_t>;
    const struct {
        const char* name;
        void (*spoil)(Bytes&);
    } cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"header cut short", [](Bytes& b) { b.resize(53); }},
        {"bad magic", [](Bytes& b) { b[1] = 'N'; }},
        {"pixel offset beyond the end", [](Bytes& b) { Set32(b, 10, b.size() + 1); }},
        {"pixel offset far beyond the end", [](Bytes& b) { Set32(b, 10, 0xFFFFFFFF); }},
        {"pixel offset inside the headers", [](Bytes& b) { Set32(b, 10, 20); }},
        {"pixel data one byte short", [](Bytes& b) { b.pop_back(); }},
        {"pixels start one byte late", [](Bytes& b) { Set32(b, 10, 55); }},
        {"core header", [](Bytes& b) { Set32(b, 14, 12); }},
        {"info header beyond the end", [](Bytes& b) { Set32(b, 14, 0xFFFFFFF0); }},
        {"width 0", [](Bytes& b) { Set32(b, 18, 0); }},
        {"negative width", [](Bytes& b) { Set32(b, 18, static_cast<uint32_t>(-4)); }},
        {"height 0", [](Bytes& b) { Set32(b, 22, 0); }},
        {"width too large", [](Bytes& b) { Set32(b, 18, 16385); }},
        {"height too large, top-down",
         [](Bytes& b) { Set32(b, 22, static_cast<uint32_t>(-16385)); }},
        {"most negative height", [](Bytes& b) { Set32(b, 22, 0x80000000); }},
        // 0x40000001 pixels of 4 bytes wrap a 32-bit row size around to 4.
        {"row size overflowing 32 bits", [](Bytes& b) { Set32(b, 18, 0x40000001); }},
        {"largest sides, few bytes",
         [](Bytes& b) {
             Set32(b, 18, 16384);
             Set32(b, 22, 16384);
         }},
        {"0 planes", [](Bytes& b) { Set16(b, 26, 0); }},
        {"8 bpp", [](Bytes& b) { Set16(b, 28, 8); }},
        {"16 bpp", [](Bytes& b) { Set16(b, 28, 16); }},
        {"1 bpp", [](Bytes& b) { Set16(b, 28, 1); }},
        {"RLE compression", [](Bytes& b) { Set32(b, 30, 1); }},
        {"bit-field masks", [](Bytes& b) { Set32(b, 30, 3); }},
    };
    const Bytes good = MakeBitmapFile(kWidth, kHeight, kPicture, {});
    ASSERT_TRUE(DecodeBitmapFile(good).has_value());
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.spoil(bytes);
        EXPECT_FALSE(DecodeBitmapFile(bytes).has_value()) << c.name;
    }
}

TEST(DecodeBitmapFile, TakesSidesUpTo16384Pixels) {
    const struct {
        int width;
        int height;
        bool decodes;
    } cases[] = {
        {kMaxBitmapSide, 1, true},
        {kMaxBitmapSide + 1, 1, false},
        {1, kMaxBitmapSide, true},
        {1, kMaxBitmapSide + 1, false},
    };
    for (const auto& c : cases) {
        const std::vector<uint32_t> pixels(static_cast<size_t>(c.width) * c.height, 0x123456);
        const auto decoded =
            DecodeBitmapFile(MakeBitmapFile(c.width, c.height, pixels, {24, false, 40}));
        EXPECT_EQ(decoded.has_value(), c.decodes) << c.width << " x " << c.height;
        if (decoded) {
            EXPECT_EQ(decoded->pixels, pixels) << c.width << " x " << c.height;
        }
    }
}

TEST(DecodeBitmapFile, RejectsARowWithoutItsPadding) {
    // 3 pixels of 3 bytes make 9 bytes, stored as 12; the last row's 3 padding bytes are
    // part of the pixel data too.
    std::vector<uint8_t> bytes =
        MakeBitmapFile(3, 1, {0x010203, 0x040506, 0x070809}, {24, false, 40});
    ASSERT_TRUE(DecodeBitmapFile(bytes).has_value());
    bytes.pop_back();
    EXPECT_FALSE(DecodeBitmapFile(bytes).has_value());
}

// Built by a function: brace-initialising the struct inside the table trips a false
// maybe-uninitialized warning of g++ 12.
DecodedBitmap Bitmap(int width, int height, std::vector<uint32_t> pixels) {
    DecodedBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels = std::move(pixels);
    return bitmap;
}

TEST(ShapeRuns, CutsRunsAtExactMatchesOnly) {
    struct Case {
        const char* name;
        DecodedBitmap bitmap;
        uint32_t transparent;
        std::vector<ShapeRun> expected;
    };
    const std::vector<Case> cases = {
        {"nothing transparent", Bitmap(3, 2, {1, 2, 3, 4, 5, 6}), kMagenta, {{0, 3, 0}, {0, 3, 1}}},
        {"all transparent", Bitmap(2, 2, {7, 7, 7, 7}), 7, {}},
        {"runs at both ends",
         Bitmap(6, 1, {1, 0, 1, 1, 0, 1}),
         0,
         {{0, 1, 0}, {2, 4, 0}, {5, 6, 0}}},
        {"single pixels between", Bitmap(5, 1, {0, 1, 0, 1, 0}), 0, {{1, 2, 0}, {3, 4, 0}}},
        {"near colours stay", Bitmap(3, 1, {0xFF00FE, 0xFE00FF, 0xFF01FF}), kMagenta, {{0, 3, 0}}},
        {"top byte ignored",
         Bitmap(3, 1, {1, kMagenta, 2}),
         0xFF000000 | kMagenta,
         {{0, 1, 0}, {2, 3, 0}}},
        {"empty bitmap", Bitmap(0, 0, {}), kMagenta, {}},
        {"fewer pixels than the size", Bitmap(4, 3, std::vector<uint32_t>(11, 1)), kMagenta, {}},
        {"negative size", Bitmap(-1, 1, {1}), kMagenta, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShapeRuns(c.bitmap, c.transparent), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace oruvel
