// The bitmap decoding and the shape runs of ui/bitmap_shape.h: a file decodes exactly when its
// headers are of the kinds promised and it holds the pixels they announce, and then to the pixels
// it stores; the runs lie inside the picture, come sorted by row and then column, and cover
// exactly the pixels whose colour is not the transparent one, whatever the top bytes hold.
//
// Input: a transparent colour (4 bytes), a mode byte, then the file's bytes (mode 0) or, in the
// other modes, a picture's size and pixels given directly to ShapeRuns.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "ui/bitmap_shape.h"

namespace {

using fuzz::Require;

constexpr uint32_t kRgb = 0x00FFFFFF;

uint32_t U32(std::span<const uint8_t> b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::string ShownRun(const oruvel::ShapeRun& run) {
    return "{x " + std::to_string(run.x0) + ".." + std::to_string(run.x1) + ", y " +
           std::to_string(run.y) + "}";
}

// The runs of a picture of width x height whose pixels are at least that many.
void CheckRuns(const oruvel::DecodedBitmap& bitmap, uint32_t transparent) {
    const std::vector<oruvel::ShapeRun> runs = oruvel::ShapeRuns(bitmap, transparent);
    const int64_t width = bitmap.width, height = bitmap.height;
    if (width <= 0 || height <= 0 ||
        bitmap.pixels.size() < static_cast<uint64_t>(width) * static_cast<uint64_t>(height)) {
        Require(runs.empty(), "a picture whose pixels do not fill it gives no runs");
        return;
    }
    std::vector<bool> covered(static_cast<size_t>(width * height), false);
    const oruvel::ShapeRun* previous = nullptr;
    for (const oruvel::ShapeRun& run : runs) {
        Require(run.y >= 0 && run.y < height && run.x0 >= 0 && run.x0 < run.x1 && run.x1 <= width,
                "a run lies inside the picture", [&] { return ShownRun(run); });
        Require(!previous || previous->y < run.y || (previous->y == run.y && previous->x1 < run.x0),
                "runs are sorted and apart: row by row, left to right, a gap between two",
                [&] { return ShownRun(*previous) + " then " + ShownRun(run); });
        for (int x = run.x0; x < run.x1; ++x) {
            covered[static_cast<size_t>(run.y * width + x)] = true;
        }
        previous = &run;
    }
    for (int64_t i = 0; i < width * height; ++i) {
        const bool opaque = (bitmap.pixels[i] & kRgb) != (transparent & kRgb);
        Require(covered[i] == opaque, "the runs cover exactly the pixels not transparent", [&] {
            return "pixel " + std::to_string(i % width) + "," + std::to_string(i / width) +
                   (opaque ? " is not covered" : " is transparent but covered");
        });
    }
    Require(oruvel::ShapeRuns(bitmap, transparent ^ 0xFF000000) == runs,
            "the top byte of the transparent colour is ignored");
}

void CheckFile(std::span<const uint8_t> file, uint32_t transparent) {
    const std::optional<oruvel::DecodedBitmap> decoded = oruvel::DecodeBitmapFile(file);

    // What the header promises decodes: its own reading of the headers.
    bool decodable = file.size() >= 54 && file[0] == 'B' && file[1] == 'M';
    int64_t width = 0, height = 0, stride = 0, offset = 0;
    bool bottomUp = false;
    int bytesPerPixel = 0;
    if (decodable) {
        const uint64_t infoSize = U32(file, 14);
        offset = U32(file, 10);
        width = static_cast<int32_t>(U32(file, 18));
        const int64_t storedHeight = static_cast<int32_t>(U32(file, 22));
        bottomUp = storedHeight > 0;
        height = bottomUp ? storedHeight : -storedHeight;
        const int bits = U16(file, 28);
        bytesPerPixel = bits / 8;
        stride = (width * bytesPerPixel + 3) / 4 * 4;
        decodable = infoSize >= 40 && 14 + infoSize <= file.size() &&
                    static_cast<uint64_t>(offset) >= 14 + infoSize && width >= 1 &&
                    width <= oruvel::kMaxBitmapSide && height >= 1 &&
                    height <= oruvel::kMaxBitmapSide && U16(file, 26) == 1 &&
                    (bits == 24 || bits == 32) && U32(file, 30) == 0 &&
                    static_cast<uint64_t>(offset + stride * height) <= file.size();
    }
    Require(decoded.has_value() == decodable,
            decodable ? "a file of the kinds promised decodes" : "any other file gives nullopt");
    if (!decoded) {
        return;
    }

    Require(decoded->width == width && decoded->height == height &&
                decoded->pixels.size() == static_cast<size_t>(width * height),
            "the picture has the size of its header");
    for (int64_t y = 0; y < height; ++y) {
        const int64_t row = bottomUp ? height - 1 - y : y;
        for (int64_t x = 0; x < width; ++x) {
            const uint8_t* stored = file.data() + offset + row * stride + x * bytesPerPixel;
            const uint32_t rgb = stored[2] << 16 | stored[1] << 8 | stored[0];
            Require(decoded->pixels[y * width + x] == rgb,
                    "each pixel is the one stored, as 0x00RRGGBB",
                    [&] { return "pixel " + std::to_string(x) + "," + std::to_string(y); });
        }
    }
    CheckRuns(*decoded, transparent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const auto transparent = input.Number<uint32_t>();
    if (input.Byte() % 2 == 0) {
        const std::string_view file = input.Rest();
        CheckFile({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, transparent);
        return 0;
    }
    // A picture given directly: any size, any number of pixels, colours from a small palette
    // (so that runs of the transparent one come up) with any top byte.
    oruvel::DecodedBitmap bitmap;
    bitmap.width = input.Number<int8_t>();
    bitmap.height = input.Number<int8_t>();
    const uint32_t palette[4] = {transparent, transparent ^ 0xFF000000, input.Number<uint32_t>(),
                                 input.Number<uint32_t>()};
    for (const char c : input.Rest()) {
        bitmap.pixels.push_back(palette[static_cast<uint8_t>(c) % 4] ^
                                (static_cast<uint32_t>(static_cast<uint8_t>(c) >> 2) << 24));
    }
    CheckRuns(bitmap, transparent);
    return 0;
}
