#include "synthetic_image.h"

#include <algorithm>
#include <cmath>

namespace tovasen::test {
namespace {

// A small deterministic generator (xorshift32) so images are the same in every run.
struct Random {
    std::uint32_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
};

void Put(OwnedImage& img, int x, int y, int r, int g, int b) {
    std::uint8_t* p = img.At(x, y);
    p[0] = static_cast<std::uint8_t>(b);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(r);
}

}  // namespace

OwnedImage ScreenshotLike(int width, int height, int bytesPerPixel) {
    OwnedImage img{width, height, bytesPerPixel,
                   std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * bytesPerPixel)};
    Random rnd{0x12345678u};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Title bar, window background, a side panel.
            if (y < height / 20) Put(img, x, y, 32, 96, 200);
            else if (x < width / 6) Put(img, x, y, 236, 236, 240);
            else Put(img, x, y, 255, 255, 255);
            const auto alpha = static_cast<std::uint8_t>(rnd.Next());  // drawn always: same image at 3 or 4 bytes
            if (bytesPerPixel == 4) img.At(x, y)[3] = alpha;
        }
    }
    // Lines of "text": short dark strokes in rows, like glyphs of a small font.
    for (int line = height / 20 + 10; line + 12 < height / 2; line += 18) {
        for (int x = width / 6 + 20; x + 8 < width * 2 / 3;) {
            const int glyph = 4 + rnd.Below(5);
            for (int gx = 0; gx < glyph; ++gx) {
                for (int gy = 0; gy < 11; ++gy) {
                    if (rnd.Below(3) == 0) Put(img, x + gx, line + gy, 20, 20, 28);
                }
            }
            x += glyph + 2 + (rnd.Below(7) == 0 ? 6 : 0);
        }
    }
    // A colour gradient panel.
    for (int y = height / 2; y < height * 3 / 4; ++y) {
        for (int x = width / 6; x < width * 2 / 3; ++x) {
            const double t = static_cast<double>(x - width / 6) / (width / 2);
            Put(img, x, y, static_cast<int>(255 * t), static_cast<int>(128 + 100 * std::sin(6 * t)), static_cast<int>(255 * (1 - t)));
        }
    }
    // A photo-like patch: smooth shapes plus sensor noise.
    for (int y = height / 2; y < height; ++y) {
        for (int x = width * 2 / 3; x < width; ++x) {
            const double u = x * 0.013, v = y * 0.017;
            const int n = rnd.Below(17) - 8;
            Put(img, x, y, std::clamp(static_cast<int>(120 + 80 * std::sin(u) * std::cos(v)) + n, 0, 255),
                std::clamp(static_cast<int>(100 + 60 * std::sin(u * 1.7 + v)) + n, 0, 255),
                std::clamp(static_cast<int>(90 + 70 * std::cos(v * 1.3 - u)) + n, 0, 255));
        }
    }
    return img;
}

OwnedImage Gradient(int width, int height) {
    OwnedImage img{width, height, 4, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double t = static_cast<double>(x) / (width - 1);
            Put(img, x, y, static_cast<int>(20 + 200 * t), static_cast<int>(40 + 150 * t * t), static_cast<int>(230 - 180 * t));
        }
    }
    return img;
}

}  // namespace tovasen::test
