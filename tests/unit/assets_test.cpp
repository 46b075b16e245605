// Pins the committed pictures: the bar's bitmap, from which the window's outline is cut, and
// the program's icon.
#include "ui/bitmap_shape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace oruvel {
namespace {

std::vector<uint8_t> ReadAsset(const std::string& name) {
    const std::string path = std::string(ORUVEL_ASSETS_DIR) + "/" + name;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.is_open()) << "cannot open " << path << "; rebuild it with tools/make_assets";
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

struct Field {
    const char* name;
    size_t at;
    int bytes;  // 1, 2 or 4, little-endian
    uint32_t expected;
};

void ExpectFields(const std::vector<uint8_t>& file, const std::vector<Field>& fields) {
    for (const Field& f : fields) {
        ASSERT_LE(f.at + f.bytes, file.size()) << f.name;
        const uint32_t value = f.bytes == 1   ? file[f.at]
                               : f.bytes == 2 ? U16(file, f.at)
                                              : U32(file, f.at);
        EXPECT_EQ(value, f.expected) << f.name;
    }
}

// ---------------------------------------------------------------------------------------------
// bar.bmp

constexpr int kBarWidth = 100;
constexpr int kBarHeight = 22;
constexpr uint32_t kMagenta = 0xFF00FF;

class BarPicture : public testing::Test {
  protected:
    void SetUp() override {
        file = ReadAsset("bar.bmp");
        auto decoded = DecodeBitmapFile(file);
        ASSERT_TRUE(decoded.has_value()) << "bar.bmp does not decode";
        ASSERT_EQ(decoded->width, kBarWidth);
        ASSERT_EQ(decoded->height, kBarHeight);
        bitmap = std::move(*decoded);
    }

    uint32_t At(int x, int y) const { return bitmap.pixels[y * kBarWidth + x]; }

    std::vector<uint8_t> file;
    DecodedBitmap bitmap;
};

TEST_F(BarPicture, HeadersAreTheDesignedOnes) {
    ASSERT_EQ(file.size(), 6656u);
    ExpectFields(file, {
                           {"magic B", 0, 1, 'B'},
                           {"magic M", 1, 1, 'M'},
                           {"file size", 2, 4, 6656},
                           {"reserved", 6, 4, 0},
                           {"pixel offset", 10, 4, 54},
                           {"info header size", 14, 4, 40},
                           {"width", 18, 4, 100},
                           {"height, bottom-up", 22, 4, 22},
                           {"planes", 26, 2, 1},
                           {"bits per pixel", 28, 2, 24},
                           {"compression", 30, 4, 0},
                           {"image size", 34, 4, 6602},
                           {"x pixels per metre", 38, 4, 2834},
                           {"y pixels per metre", 42, 4, 2834},
                           {"colours used", 46, 4, 0},
                           {"important colours", 50, 4, 0},
                           {"trailing byte 1", 6654, 1, 0},
                           {"trailing byte 2", 6655, 1, 0},
                       });
}

TEST_F(BarPicture, OnlyTheTwelveCornerPixelsAreMagenta) {
    std::vector<std::pair<int, int>> magenta;
    for (int y = 0; y < kBarHeight; ++y) {
        for (int x = 0; x < kBarWidth; ++x) {
            if (At(x, y) == kMagenta) {
                magenta.emplace_back(x, y);
            }
        }
    }
    const std::vector<std::pair<int, int>> expected = {
        {0, 0},  {1, 0},   {98, 0}, {99, 0}, {0, 1},   {99, 1},
        {0, 20}, {99, 20}, {0, 21}, {1, 21}, {98, 21}, {99, 21},
    };
    EXPECT_EQ(magenta, expected);
}

TEST_F(BarPicture, OutlineIsOneRunPerRowLessTheCorners) {
    const auto runs = ShapeRuns(bitmap, kMagenta);
    ASSERT_EQ(runs.size(), static_cast<size_t>(kBarHeight));
    for (int y = 0; y < kBarHeight; ++y) {
        const int inset = (y == 0 || y == 21) ? 2 : (y == 1 || y == 20) ? 1 : 0;
        EXPECT_EQ(runs[y].y, y) << "row " << y;
        EXPECT_EQ(runs[y].x0, inset) << "row " << y;
        EXPECT_EQ(runs[y].x1, kBarWidth - inset) << "row " << y;
    }
}

struct Rgb {
    int r, g, b;
};

Rgb Channels(uint32_t rgb) {
    return {static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
            static_cast<int>(rgb & 0xFF)};
}

TEST_F(BarPicture, EveryPartHasItsColour) {
    // Each part's pixels must lie, channel by channel, within [low - 4, high + 4].
    const struct {
        const char* name;
        int x0, x1, y0, y1;  // inclusive
        Rgb low, high;
    } parts[] = {
        {"top frame", 2, 97, 0, 0, {171, 179, 220}, {171, 179, 220}},
        {"left frame", 0, 0, 2, 19, {114, 170, 223}, {139, 187, 224}},
        {"right frame", 99, 99, 2, 19, {114, 170, 223}, {139, 187, 224}},
        {"bottom frame", 2, 97, 21, 21, {165, 160, 228}, {238, 205, 250}},
        {"bottom frame near the left corner", 2, 2, 21, 21, {165, 160, 228}, {165, 160, 228}},
        {"bottom frame in the middle", 49, 50, 21, 21, {238, 205, 250}, {238, 205, 250}},
        {"ring top", 1, 98, 1, 1, {182, 210, 236}, {226, 237, 247}},
        {"ring bottom", 1, 98, 20, 20, {182, 210, 236}, {226, 237, 247}},
        {"ring left", 1, 1, 1, 20, {182, 210, 236}, {226, 237, 247}},
        {"ring right", 98, 98, 1, 20, {182, 210, 236}, {226, 237, 247}},
        {"pale left column", 2, 2, 2, 19, {185, 202, 236}, {210, 223, 242}},
        {"pale right column", 97, 97, 2, 19, {185, 202, 236}, {210, 223, 242}},
        {"inside row 2", 3, 96, 2, 2, {213, 226, 243}, {213, 226, 243}},
        {"inside row 3", 3, 96, 3, 3, {221, 232, 245}, {221, 232, 245}},
        {"inside rows 7 and 8", 3, 96, 7, 8, {236, 243, 248}, {236, 243, 248}},
        {"inside row 19", 3, 96, 19, 19, {229, 237, 243}, {229, 237, 243}},
        {"inside, all rows", 3, 96, 2, 19, {213, 226, 243}, {236, 243, 248}},
    };
    constexpr int kTolerance = 4;
    for (const auto& part : parts) {
        for (int y = part.y0; y <= part.y1; ++y) {
            for (int x = part.x0; x <= part.x1; ++x) {
                const Rgb c = Channels(At(x, y));
                const bool within =
                    c.r >= part.low.r - kTolerance && c.r <= part.high.r + kTolerance &&
                    c.g >= part.low.g - kTolerance && c.g <= part.high.g + kTolerance &&
                    c.b >= part.low.b - kTolerance && c.b <= part.high.b + kTolerance;
                EXPECT_TRUE(within) << part.name << " at (" << x << ", " << y << ") is (" << c.r
                                    << ", " << c.g << ", " << c.b << ")";
            }
        }
    }
}

TEST_F(BarPicture, InsideGradientIsVerticalBrightestInRows7And8) {
    int brightestRow = -1;
    int brightestSum = -1;
    for (int y = 2; y <= 19; ++y) {
        for (int x = 4; x <= 96; ++x) {
            ASSERT_EQ(At(x, y), At(3, y)) << "row " << y << " varies at column " << x;
        }
        const Rgb c = Channels(At(3, y));
        if (c.r + c.g + c.b > brightestSum) {
            brightestSum = c.r + c.g + c.b;
            brightestRow = y;
        }
    }
    EXPECT_EQ(brightestRow, 7);
    EXPECT_EQ(At(3, 8), At(3, 7));
}

// ---------------------------------------------------------------------------------------------
// oruvel.ico

constexpr int kIconSide = 32;
constexpr size_t kImageAt = 22;                      // after ICONDIR (6) and one ICONDIRENTRY (16)
constexpr size_t kColourAt = kImageAt + 40;          // BGRA rows, bottom-up
constexpr size_t kMaskAt = kColourAt + 32 * 32 * 4;  // AND mask rows of 4 bytes, bottom-up

class IconPicture : public testing::Test {
  protected:
    void SetUp() override {
        file = ReadAsset("oruvel.ico");
        ASSERT_EQ(file.size(), 4286u);
    }

    // Alpha of pixel (x, y), counted from the top-left corner.
    int Alpha(int x, int y) const {
        return file[kColourAt + ((kIconSide - 1 - y) * kIconSide + x) * 4 + 3];
    }

    Rgb Colour(int x, int y) const {
        const size_t at = kColourAt + ((kIconSide - 1 - y) * kIconSide + x) * 4;
        return {file[at + 2], file[at + 1], file[at]};
    }

    bool MaskBit(int x, int y) const {
        return file[kMaskAt + (kIconSide - 1 - y) * 4 + x / 8] >> (7 - x % 8) & 1;
    }

    std::vector<uint8_t> file;
};

TEST_F(IconPicture, HeadersAreTheDesignedOnes) {
    ExpectFields(file, {
                           {"reserved", 0, 2, 0},
                           {"type icon", 2, 2, 1},
                           {"image count", 4, 2, 1},
                           {"entry width", 6, 1, 32},
                           {"entry height", 7, 1, 32},
                           {"entry colour count", 8, 1, 0},
                           {"entry reserved", 9, 1, 0},
                           {"entry planes", 10, 2, 1},
                           {"entry bits per pixel", 12, 2, 32},
                           {"entry image bytes", 14, 4, 4264},
                           {"entry image offset", 18, 4, 22},
                           {"info header size", 22, 4, 40},
                           {"width", 26, 4, 32},
                           {"height, colour and mask", 30, 4, 64},
                           {"planes", 34, 2, 1},
                           {"bits per pixel", 36, 2, 32},
                           {"compression", 38, 4, 0},
                           {"image size, colour and mask", 42, 4, 4096 + 128},
                           {"colours used", 54, 4, 0},
                       });
}

TEST_F(IconPicture, MaskIsSetExactlyWhereAlphaIsZero) {
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            EXPECT_EQ(MaskBit(x, y), Alpha(x, y) == 0) << "(" << x << ", " << y << ")";
        }
    }
}

TEST_F(IconPicture, FigureHasTheDesignedExtentAndEdges) {
    int opaque = 0, partial = 0, clear = 0;
    int left = kIconSide, right = -1, top = kIconSide, bottom = -1;
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            const int a = Alpha(x, y);
            if (a == 0) {
                ++clear;
                continue;
            }
            ++(a == 255 ? opaque : partial);
            EXPECT_TRUE(a == 255 || (a >= 7 && a <= 240)) << "alpha " << a;
            // Every visible pixel is a grey between the outline and the fill.
            const Rgb c = Colour(x, y);
            EXPECT_TRUE(c.r >= 144 && c.r <= 241 && c.g >= 142 && c.g <= 238 && c.b >= 142 &&
                        c.b <= 238 && std::abs(c.r - c.g) <= 4)
                << "(" << x << ", " << y << ") is (" << c.r << ", " << c.g << ", " << c.b << ")";
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    EXPECT_EQ(left, 3);
    EXPECT_EQ(right, 27);
    EXPECT_EQ(top, 2);
    EXPECT_EQ(bottom, 30);
    // Only the tail reaches the last rows, at the lower right.
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(Alpha(x, 29), 0) << "column " << x << " of row 29";
    }
    constexpr int kSlack = 12;
    EXPECT_NEAR(opaque, 455, kSlack);
    EXPECT_NEAR(partial, 110, kSlack);
    EXPECT_NEAR(clear, 459, kSlack);
}

TEST_F(IconPicture, HoleHasTheDesignedPlaceAndLean) {
    // The hole: pixels that are not opaque and cannot be reached from the border without
    // crossing an opaque pixel.
    std::vector<bool> outside(kIconSide * kIconSide, false);
    std::vector<std::pair<int, int>> todo;
    for (int i = 0; i < kIconSide; ++i) {
        todo.insert(todo.end(), {{i, 0}, {i, kIconSide - 1}, {0, i}, {kIconSide - 1, i}});
    }
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x >= kIconSide || y >= kIconSide || outside[y * kIconSide + x] ||
            Alpha(x, y) == 255) {
            continue;
        }
        outside[y * kIconSide + x] = true;
        todo.insert(todo.end(), {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}});
    }
    int left = kIconSide, right = -1, top = kIconSide, bottom = -1;
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            if (Alpha(x, y) < 255 && !outside[y * kIconSide + x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_EQ(left, 13);
    EXPECT_EQ(right, 17);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(bottom, 18);
    // Its top leans to the left: the top row's hole starts left of the bottom row's.
    auto firstHoleColumn = [&](int y) {
        for (int x = 0; x < kIconSide; ++x) {
            if (Alpha(x, y) < 255 && !outside[y * kIconSide + x]) {
                return x;
            }
        }
        return -1;
    };
    EXPECT_LT(firstHoleColumn(top), firstHoleColumn(bottom));
}

}  // namespace
}  // namespace oruvel
