// Draws the bar's background picture (bar.bmp) and the program's icon (oruvel.ico) and writes
// them into the given folder. The output is the same byte for byte on every run, so the
// committed files can be rebuilt and compared.
//
//     make_assets <assets dir>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    auto channel = [t](int from, int to) {
        return static_cast<int>(std::lround(from + (to - from) * t));
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

double Clamp01(double t) {
    return std::clamp(t, 0.0, 1.0);
}

double SmoothStep(double t) {
    t = Clamp01(t);
    return t * t * (3.0 - 2.0 * t);
}

// Little-endian writers for the file headers.
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The 40-byte BITMAPINFOHEADER, shared by the bitmap and the icon image.
void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bitsPerPixel,
                   uint32_t imageSize, uint32_t pixelsPerMetre) {
    Put32(out, 40);                             // header size
    Put32(out, static_cast<uint32_t>(width));   // width
    Put32(out, static_cast<uint32_t>(height));  // height; positive = rows stored bottom-up
    Put16(out, 1);                              // planes
    Put16(out, static_cast<uint32_t>(bitsPerPixel));
    Put32(out, 0);               // compression: BI_RGB
    Put32(out, imageSize);       // bytes of image data after the header
    Put32(out, pixelsPerMetre);  // horizontal resolution
    Put32(out, pixelsPerMetre);  // vertical resolution
    Put32(out, 0);               // colours used: no colour table
    Put32(out, 0);               // important colours
}

// ---------------------------------------------------------------------------------------------
// The bar: 100 x 22, a light blue-grey panel with a thin blue frame and rounded corners. The
// corners are cut away by magenta pixels, which the program turns into the window's outline.

constexpr int kBarWidth = 100;
constexpr int kBarHeight = 22;
constexpr Rgb kCutAway{255, 0, 255};

bool IsCutAwayCorner(int x, int y) {
    constexpr int corners[4][3][2] = {
        {{0, 0}, {1, 0}, {0, 1}},        // top left
        {{98, 0}, {99, 0}, {99, 1}},     // top right
        {{0, 20}, {0, 21}, {1, 21}},     // bottom left
        {{99, 20}, {98, 21}, {99, 21}},  // bottom right
    };
    for (const auto& corner : corners) {
        for (const auto& pixel : corner) {
            if (pixel[0] == x && pixel[1] == y) {
                return true;
            }
        }
    }
    return false;
}

// 0 at the ends of a horizontal edge (columns 1 or 98), 1 in the middle of the bar.
double TowardsMiddle(int x) {
    const double fromCentre = std::abs(x - (kBarWidth - 1) / 2.0);
    return Clamp01(1.0 - (fromCentre - 0.5) / 48.0);
}

// 0 at row 2, 1 at row 19: the rows between the top and bottom edges.
double DownTheSide(int y) {
    return (y - 2) / 17.0;
}

// The inside, columns 3..96 of rows 2..19: a soft vertical gradient, brightest in rows 7 and 8.
Rgb InsideColour(int y) {
    constexpr Rgb row2{213, 226, 243};
    constexpr Rgb row3{221, 232, 245};
    constexpr Rgb brightest{236, 243, 248};  // rows 7 and 8
    constexpr Rgb row19{229, 237, 243};
    if (y <= 2) {
        return row2;
    }
    if (y <= 7) {
        return Mix(row3, brightest, SmoothStep((y - 3) / 4.0));
    }
    if (y == 8) {
        return brightest;
    }
    return Mix(brightest, row19, (y - 8) / 11.0);
}

Rgb BarPixel(int x, int y) {
    const int last = kBarWidth - 1;
    const int bottom = kBarHeight - 1;
    if (IsCutAwayCorner(x, y)) {
        return kCutAway;
    }
    // The frame, one pixel along the edge.
    if (y == 0) {
        return {171, 179, 220};  // lavender blue
    }
    if (y == bottom) {
        // Lilac, deeper near the corners and light in the middle.
        return Mix({165, 160, 228}, {238, 205, 250}, SmoothStep(TowardsMiddle(x) * 1.6));
    }
    if (x == 0 || x == last) {
        return Mix({114, 170, 224}, {139, 187, 223}, DownTheSide(y));  // mid blue
    }
    // The lighter ring just inside the frame.
    if (y == 1) {
        return Mix({200, 222, 240}, {226, 237, 247}, SmoothStep(TowardsMiddle(x) * 2.0));
    }
    if (y == bottom - 1) {
        return Mix({182, 210, 236}, {212, 229, 245}, SmoothStep(TowardsMiddle(x) * 2.0));
    }
    if (x == 1 || x == last - 1) {
        return Mix({218, 233, 246}, {182, 210, 236}, DownTheSide(y));
    }
    // The pale column on each side of the inside.
    if (x == 2 || x == last - 2) {
        return Mix({210, 223, 242}, {185, 202, 236}, DownTheSide(y));
    }
    return InsideColour(y);
}

std::vector<uint8_t> MakeBarBitmap() {
    constexpr int rowBytes = kBarWidth * 3;  // 300, already a multiple of 4: no row padding
    constexpr uint32_t imageSize = rowBytes * kBarHeight + 2;  // two trailing zero bytes
    constexpr uint32_t pixelOffset = 14 + 40;
    std::vector<uint8_t> out;
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    Put32(out, pixelOffset + imageSize);  // file size
    Put32(out, 0);                        // two reserved words
    Put32(out, pixelOffset);
    PutInfoHeader(out, kBarWidth, kBarHeight, 24, imageSize, 2834);  // 2834 px/m = 72 dpi
    for (int y = kBarHeight - 1; y >= 0; --y) {                      // bottom-up
        for (int x = 0; x < kBarWidth; ++x) {
            const Rgb c = BarPixel(x, y);
            out.push_back(static_cast<uint8_t>(c.b));
            out.push_back(static_cast<uint8_t>(c.g));
            out.push_back(static_cast<uint8_t>(c.r));
        }
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The icon: 32 x 32, a bold rounded Q on a transparent background. The figure is a rounded
// oval, less a tilted oval hole, joined with a tail polygon; it is sampled 16 x 16 times per pixel
// for the alpha, and coloured by an estimate of the distance to its edge: a grey outline that
// blends into a near-white fill.

constexpr int kIconSize = 32;

struct Point {
    double x, y;
};

// |u / rx|^power + |v / ry|^power <= 1: an ellipse for power 2, squarer above it.
struct Oval {
    Point centre;
    double rx, ry;  // semi-axes before rotation
    double angle;   // radians; positive turns the top of the vertical axis to the left
    double power;
};

// A point in the oval's own axes (u, v), v along its rotated vertical axis.
Point ToOvalAxes(const Oval& o, Point p) {
    const double dx = p.x - o.centre.x;
    const double dy = p.y - o.centre.y;
    const double s = std::sin(o.angle);
    const double c = std::cos(o.angle);
    return {dx * c - dy * s, dx * s + dy * c};
}

// Signed distance, negative inside: the implicit function over its gradient, a first-order
// estimate that is close within a pixel or two of the edge, which is where it matters.
double OvalDistance(const Oval& o, Point p) {
    const Point q = ToOvalAxes(o, p);
    const double u = std::abs(q.x) / o.rx;
    const double v = std::abs(q.y) / o.ry;
    const double f = std::pow(u, o.power) + std::pow(v, o.power) - 1.0;
    const double gu = o.power * std::pow(u, o.power - 1.0) / o.rx;
    const double gv = o.power * std::pow(v, o.power - 1.0) / o.ry;
    const double gradient = std::sqrt(gu * gu + gv * gv);
    if (gradient < 1e-9) {
        return -std::min(o.rx, o.ry);
    }
    return f / gradient;
}

// Signed distance to a simple polygon, negative inside (even-odd rule).
template <size_t N>
double PolygonDistance(const std::array<Point, N>& v, Point p) {
    double nearest = 1e9;
    bool inside = false;
    for (size_t i = 0, j = N - 1; i < N; j = i++) {
        const Point e{v[j].x - v[i].x, v[j].y - v[i].y};
        const Point w{p.x - v[i].x, p.y - v[i].y};
        const double t = Clamp01((w.x * e.x + w.y * e.y) / (e.x * e.x + e.y * e.y));
        const double bx = w.x - e.x * t;
        const double by = w.y - e.y * t;
        nearest = std::min(nearest, bx * bx + by * by);
        if ((v[i].y > p.y) != (v[j].y > p.y) &&
            p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
            inside = !inside;
        }
    }
    return inside ? -std::sqrt(nearest) : std::sqrt(nearest);
}

const Oval kBody{{14.85, 14.85}, 11.8, 12.8, 0.0, 2.6};
const Oval kHole{{15.45, 14.45}, 2.15, 4.45, 0.22, 2.0};
const std::array<Point, 4> kTail{{{14.46, 21.34}, {18.34, 17.46}, {27.89, 26.91}, {24.01, 30.79}}};

double FigureDistance(Point p) {
    const double outer = std::min(OvalDistance(kBody, p), PolygonDistance(kTail, p));
    return std::max(outer, -OvalDistance(kHole, p));
}

struct Rgba {
    uint8_t r, g, b, a;
};

std::array<Rgba, kIconSize * kIconSize> DrawIcon() {
    constexpr Rgb fill{241, 238, 238};
    constexpr Rgb outline{144, 142, 142};
    constexpr int samples = 16;        // per pixel and direction
    constexpr double footprint = 1.1;  // pixels; a little over one softens the edge
    std::array<Rgba, kIconSize * kIconSize> pixels{};
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            int covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const Point p{x + 0.5 + ((sx + 0.5) / samples - 0.5) * footprint,
                                  y + 0.5 + ((sy + 0.5) / samples - 0.5) * footprint};
                    covered += FigureDistance(p) < 0.0 ? 1 : 0;
                }
            }
            int alpha = (covered * 255 + samples * samples / 2) / (samples * samples);
            // The faintest edge samples would only blur the silhouette, and nearly covered
            // pixels read as solid.
            if (alpha < 7) {
                alpha = 0;
            } else if (alpha > 240) {
                alpha = 255;
            }
            if (alpha == 0) {
                continue;  // fully transparent pixels stay black, as icon files hold them
            }
            // Depth below the edge at the pixel's centre: the outline is the outer 1.5 pixels,
            // then greys blend into the fill over the next pixel.
            const double depth = -FigureDistance({x + 0.5, y + 0.5});
            const Rgb c = Mix(outline, fill, SmoothStep((depth - 1.0) / 1.5));
            pixels[y * kIconSize + x] = {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g),
                                         static_cast<uint8_t>(c.b), static_cast<uint8_t>(alpha)};
        }
    }
    return pixels;
}

std::vector<uint8_t> MakeIconFile(const std::array<Rgba, kIconSize * kIconSize>& pixels) {
    constexpr uint32_t colourBytes = kIconSize * kIconSize * 4;    // 4096, BGRA
    constexpr uint32_t maskBytes = kIconSize * 4;                  // 128: 32 rows of 4 bytes
    constexpr uint32_t imageBytes = 40 + colourBytes + maskBytes;  // 4264
    constexpr uint32_t imageOffset = 6 + 16;                       // after the directory
    std::vector<uint8_t> out;
    // ICONDIR
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, 1);  // one image
    // ICONDIRENTRY
    out.push_back(kIconSize);  // width
    out.push_back(kIconSize);  // height
    out.push_back(0);          // colour count: not a palette image
    out.push_back(0);          // reserved
    Put16(out, 1);             // planes
    Put16(out, 32);            // bits per pixel
    Put32(out, imageBytes);
    Put32(out, imageOffset);
    // The image's header gives twice the height, colour rows and mask rows together. Its image
    // size counts both the colour pixels and the mask, as icon editors write it; Windows does
    // not rely on the field for uncompressed images.
    PutInfoHeader(out, kIconSize, kIconSize * 2, 32, colourBytes + maskBytes, 0);
    for (int y = kIconSize - 1; y >= 0; --y) {  // bottom-up, straight (not premultiplied) alpha
        for (int x = 0; x < kIconSize; ++x) {
            const Rgba& p = pixels[y * kIconSize + x];
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
            out.push_back(p.a);
        }
    }
    // The AND mask: one bit per pixel, leftmost pixel in the high bit, set where the pixel is
    // fully transparent, for displays that ignore the alpha channel.
    for (int y = kIconSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < kIconSize / 8; ++byte) {
            uint8_t bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (pixels[y * kIconSize + byte * 8 + bit].a == 0) {
                    bits |= static_cast<uint8_t>(0x80 >> bit);
                }
            }
            out.push_back(bits);
        }
    }
    return out;
}

void PrintIconSummary(const std::array<Rgba, kIconSize * kIconSize>& pixels) {
    int opaque = 0, partial = 0, clear = 0;
    int left = kIconSize, right = -1, top = kIconSize, bottom = -1;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const int a = pixels[y * kIconSize + x].a;
            if (a == 0) {
                ++clear;
                continue;
            }
            ++(a == 255 ? opaque : partial);
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    std::printf(
        "icon: %d opaque, %d partly transparent, %d transparent; columns %d..%d, rows "
        "%d..%d\n",
        opaque, partial, clear, left, right, top, bottom);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_assets: cannot write %s; does the folder exist?\n",
                     path.c_str());
        return false;
    }
    std::printf("wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_assets <assets dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const auto icon = DrawIcon();
    PrintIconSummary(icon);
    const bool ok = WriteFile(dir + "/bar.bmp", MakeBarBitmap()) &&
                    WriteFile(dir + "/oruvel.ico", MakeIconFile(icon));
    return ok ? 0 : 1;
}
