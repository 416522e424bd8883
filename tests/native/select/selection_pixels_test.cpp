#include "select/selection_pixels.h"

#include <gtest/gtest.h>

#include <random>

namespace tovasen {
namespace {

TEST(SelectionPixels, DarkenIsSixTenthsRoundedToNearest) {
    EXPECT_EQ(0, DarkenByte(0));
    EXPECT_EQ(1, DarkenByte(1));    // 0.6
    EXPECT_EQ(1, DarkenByte(2));    // 1.2
    EXPECT_EQ(3, DarkenByte(5));    // 3.0
    EXPECT_EQ(60, DarkenByte(100));
    EXPECT_EQ(153, DarkenByte(255));
    for (int b = 0; b < 256; ++b) EXPECT_NEAR(b * 0.6, DarkenByte(static_cast<std::uint8_t>(b)), 0.5) << b;
}

TEST(SelectionPixels, SpanRectIsTheSameInEveryDirection) {
    const TRectI want{10, 20, 50, 60};
    EXPECT_EQ(want, SpanRect(10, 20, 50, 60));
    EXPECT_EQ(want, SpanRect(50, 60, 10, 20));
    EXPECT_EQ(want, SpanRect(50, 20, 10, 60));
    EXPECT_EQ(want, SpanRect(10, 60, 50, 20));
    EXPECT_TRUE(SpanRect(5, 5, 5, 9).Empty());
    EXPECT_EQ((TRectI{0, 0, 30, 40}), ClipRect({-5, -5, 30, 99}, 100, 40));
    EXPECT_TRUE(ClipRect({200, 0, 300, 10}, 100, 40).Empty());
}

// The fast darkening against the byte-by-byte reference at every width up to a few blocks
// past the vector length and a long odd one, with tight and padded strides, at 3 and 4 bytes a
// pixel; every byte value occurs. The padding must be left alone.
TEST(SelectionPixels, FastDarkeningMatchesTheReferenceAtEveryWidthAndStride) {
    for (int bpp : {3, 4}) {
        for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 11, 15, 16, 17, 21, 31, 33, 64, 1366}) {
            for (int padding : {0, 1, 13}) {
                const int h = 3;
                const int stride = width * bpp + padding;
                std::vector<std::uint8_t> source(static_cast<std::size_t>(stride * h));
                std::mt19937 random(static_cast<unsigned>(width * 31 + bpp));
                for (std::size_t i = 0; i < source.size(); ++i) {
                    source[i] = static_cast<std::uint8_t>(i < 256 ? i : random());
                }
                std::vector<std::uint8_t> fast(source.size(), 0xA5), reference(source.size(), 0xA5);
                DarkenAll({source.data(), width, h, stride, bpp}, {fast.data(), width, h, stride, bpp});
                DarkenAllReference({source.data(), width, h, stride, bpp}, {reference.data(), width, h, stride, bpp});
                int wrong = 0;
                for (std::size_t i = 0; i < fast.size(); ++i) wrong += fast[i] != reference[i];
                EXPECT_EQ(0, wrong) << bpp << " bytes a pixel, width " << width << ", padding " << padding;
            }
        }
    }
    // Every byte value in colour and in alpha position.
    std::vector<std::uint8_t> all(1024), out(1024);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i / 4);
    DarkenAll({all.data(), 256, 1, 1024, 4}, {out.data(), 256, 1, 1024, 4});
    for (int b = 0; b < 256; ++b) {
        const auto at = static_cast<std::size_t>(b * 4);
        EXPECT_EQ(DarkenByte(static_cast<std::uint8_t>(b)), out[at]) << b;
        EXPECT_EQ(b, out[at + 3]) << "alpha " << b;
    }
}

TEST(SelectionPixels, DashPatternWalksEightStepsFiveBlackThreeWhite) {
    std::uint8_t p = 0;
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        p = NextDash(p);
        seen.push_back(p);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 4, 8, 16, 32, 64, 128, 1}), seen);
    EXPECT_FALSE(DashIsWhite(16));
    EXPECT_TRUE(DashIsWhite(32));
}

TEST(SelectionPixels, OutlineStripsAgreeAtCornersAndCarryThePhase) {
    std::uint8_t pattern = 0;
    const TOutlineStrips s = DrawOutline(5, 4, pattern);
    // Clockwise: top 4 pixels, right 3, bottom 4, left 4 (ending on the corner again): 15
    // plots with patterns 1, 2, 4, 8, 16, 32, 64, 128, 1, ... 32, 64; white on 32, 64, 128.
    const std::uint32_t W = 0xFFFFFF, B = 0;
    EXPECT_EQ((std::vector<std::uint32_t>{W, B, B, B, B}), s.top);
    EXPECT_EQ((std::vector<std::uint32_t>{B, W, W, W}), s.right);
    EXPECT_EQ((std::vector<std::uint32_t>{B, B, B, B, W}), s.bottom);
    EXPECT_EQ((std::vector<std::uint32_t>{W, W, B, B}), s.left);
    EXPECT_EQ(64, pattern);
    // The next redraw goes on from there, so the dashes travel.
    const TOutlineStrips next = DrawOutline(5, 4, pattern);
    EXPECT_EQ((std::vector<std::uint32_t>{B, B, W, W}), next.right);
    EXPECT_EQ(32, pattern);
}

}  // namespace
}  // namespace tovasen
