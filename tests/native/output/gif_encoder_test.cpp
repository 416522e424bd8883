#include "encode/gif_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "decoders.h"

namespace tovasen {
namespace {

TEST(GifEncoder, FewColoursComeBackExactly) {
    // 200 colours distinct in their top six bits: each gets its own palette entry and nothing
    // is left for the dithering to spread. Noise-like placement makes the LZW table fill and
    // reset several times.
    test::OwnedImage image{500, 300, 4, std::vector<std::uint8_t>(500 * 300 * 4)};
    std::uint32_t state = 7;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 500; ++x) {
            state = state * 1103515245u + 12345u;
            const int c = static_cast<int>((state >> 16) % 200);
            std::uint8_t* p = image.At(x, y);
            p[2] = static_cast<std::uint8_t>((c % 10) * 24);
            p[1] = static_cast<std::uint8_t>((c / 10) * 12);
            p[0] = static_cast<std::uint8_t>(255 - (c % 7) * 36);
        }
    }
    EXPECT_EQ(200u, OctreePalette(image.View()).size());
    const test::RgbImage decoded = test::DecodeWithImageMagick(EncodeGif(image.View()), ".gif");
    EXPECT_EQ(test::ToRgb(image).rgb, decoded.rgb);
}

TEST(GifEncoder, ManyColoursGetAtMost256AndAreDithered) {
    const test::OwnedImage image = test::ScreenshotLike(640, 480);
    const std::vector<Rgb> palette = OctreePalette(image.View());
    EXPECT_LE(palette.size(), 256u);
    EXPECT_GT(palette.size(), 200u) << "a rich image should use most of the palette";
    const std::vector<std::uint8_t> gif = EncodeGif(image.View());
    EXPECT_EQ(0xF7, gif[10]) << "a 256-entry global colour table";
    const test::RgbImage decoded = test::DecodeWithImageMagick(gif, ".gif");
    EXPECT_LT(test::MeanAbsoluteError(test::ToRgb(image), decoded), 4.0);
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i < decoded.rgb.size(); i += 3) {
        colours.insert((std::uint32_t{decoded.rgb[i]} << 16) | (decoded.rgb[i + 1] << 8) | decoded.rgb[i + 2]);
    }
    EXPECT_LE(colours.size(), 256u);
}

// Mean error of 8 x 8 box averages: what the eye sees of a dithered area.
double BoxError(const test::RgbImage& a, const test::RgbImage& b) {
    double total = 0;
    int boxes = 0;
    for (int by = 0; by + 8 <= a.height; by += 8) {
        for (int bx = 0; bx + 8 <= a.width; bx += 8, ++boxes) {
            for (int c = 0; c < 3; ++c) {
                int sa = 0, sb = 0;
                for (int y = by; y < by + 8; ++y) {
                    for (int x = bx; x < bx + 8; ++x) {
                        const std::size_t i = (static_cast<std::size_t>(y) * a.width + x) * 3 + c;
                        sa += a.rgb[i];
                        sb += b.rgb[i];
                    }
                }
                total += std::abs(sa - sb) / 64.0;
            }
        }
    }
    return total / (boxes * 3);
}

TEST(GifEncoder, DithersAGradient) {
    // 65536 shades for 256 entries: plain nearest-colour mapping leaves bands; error diffusion
    // keeps the local averages close to the source.
    test::OwnedImage image{256, 256, 4, std::vector<std::uint8_t>(256 * 256 * 4)};
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = image.At(x, y);
            p[2] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[0] = 128;
        }
    }
    const std::vector<Rgb> palette = OctreePalette(image.View());
    test::RgbImage banded{256, 256, {}};
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            int best = 0, bestD = 1 << 30;
            for (std::size_t i = 0; i < palette.size(); ++i) {
                const int dr = x - palette[i].r, dg = y - palette[i].g, db = 128 - palette[i].b;
                if (dr * dr + dg * dg + db * db < bestD) {
                    bestD = dr * dr + dg * dg + db * db;
                    best = static_cast<int>(i);
                }
            }
            banded.rgb.insert(banded.rgb.end(), {palette[static_cast<std::size_t>(best)].r,
                                                 palette[static_cast<std::size_t>(best)].g,
                                                 palette[static_cast<std::size_t>(best)].b});
        }
    }
    const test::RgbImage source = test::ToRgb(image);
    const test::RgbImage dithered = test::DecodeWithImageMagick(EncodeGif(image.View()), ".gif");
    const double withDither = BoxError(source, dithered), without = BoxError(source, banded);
    EXPECT_LT(withDither, without / 2) << "box error dithered " << withDither << ", banded " << without;
    EXPECT_NE(dithered.rgb, banded.rgb);
}

TEST(GifEncoder, LzwOfAnEmptyAndASinglePixelImage) {
    const std::vector<std::uint8_t> none = LzwCompress({});
    ASSERT_FALSE(none.empty());
    EXPECT_EQ(0, none.back()) << "block terminator";
    test::OwnedImage one{1, 1, 4, {10, 20, 30, 0}};
    const test::RgbImage decoded = test::DecodeWithImageMagick(EncodeGif(one.View()), ".gif");
    EXPECT_EQ((std::vector<std::uint8_t>{30, 20, 10}), decoded.rgb);
}

}  // namespace
}  // namespace tovasen
