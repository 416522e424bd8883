#include "select/selection_pixels.h"

#include <gtest/gtest.h>

#include <random>

namespace tovasen {
namespace {

struct Image {
    Image(int w, int h, int bpp) : stride(((w * bpp) + 3) & ~3), data(static_cast<std::size_t>(stride * h)) {
        rows = {data.data(), w, h, stride, bpp};
    }
    int stride;
    std::vector<std::uint8_t> data;
    TPixelRows rows;
};

Image Noise(int w, int h, int bpp, unsigned seed) {
    Image image(w, h, bpp);
    std::mt19937 random(seed);
    for (auto& b : image.data) b = static_cast<std::uint8_t>(random());
    return image;
}

// Compares the visible pixels (not the row padding) of two images.
int Differences(const Image& a, const Image& b) {
    int wrong = 0;
    for (int y = 0; y < a.rows.height; ++y) {
        for (int i = 0; i < a.rows.width * a.rows.bytesPerPixel; ++i) wrong += a.rows.Row(y)[i] != b.rows.Row(y)[i];
    }
    return wrong;
}

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

// Every step of a drag, each way of composing: the pixels shown must equal the full recompute.
// 1366 x 7 at three bytes a pixel has row padding, as a 1366 x 768 screen does.
TEST(SelectionPixels, StripsMatchTheFullRecomputeThroughADrag) {
    for (int bpp : {3, 4}) {
        const int w = 1366, h = 7;
        const Image bright = Noise(w, h, bpp, 7);
        Image dark(w, h, bpp);
        DarkenAll(bright.rows, dark.rows);
        Image shown = dark;
        shown.rows.bits = shown.data.data();
        Image expected(w, h, bpp);
        const TRectI steps[] = {{},           {5, 1, 6, 2},    {5, 1, 40, 5},   {2, 0, 40, 7}, {30, 3, 1366, 4},
                                {0, 0, 1366, 7}, {700, 2, 701, 3}, {-20, -3, 9, 90}, {}};
        TRectI before{};
        for (const TRectI& after : steps) {
            const TRectI changed = ComposeSelection(bright.rows, dark.rows, shown.rows, before, after);
            ComposeSelectionFull(bright.rows, expected.rows, after);
            EXPECT_EQ(0, Differences(expected, shown)) << bpp << " bpp, to " << after.left << "," << after.top << ","
                                                       << after.right << "," << after.bottom;
            if (!(ClipRect(before, w, h) == ClipRect(after, w, h))) EXPECT_FALSE(changed.Empty());
            before = after;
        }
    }
}

TEST(SelectionPixels, ChangedRectCoversOnlyTheStrips) {
    const Image bright = Noise(100, 100, 4, 3);
    Image dark(100, 100, 4);
    DarkenAll(bright.rows, dark.rows);
    Image shown = dark;
    shown.rows.bits = shown.data.data();
    ComposeSelection(bright.rows, dark.rows, shown.rows, {}, {10, 10, 50, 50});
    // Growing to the right by two columns changes those columns only.
    EXPECT_EQ((TRectI{50, 10, 52, 50}), ComposeSelection(bright.rows, dark.rows, shown.rows, {10, 10, 50, 50}, {10, 10, 52, 50}));
    EXPECT_TRUE(ComposeSelection(bright.rows, dark.rows, shown.rows, {10, 10, 52, 50}, {10, 10, 52, 50}).Empty());
    // Alpha is kept, colour dimmed.
    EXPECT_EQ(bright.rows.Row(0)[3], dark.rows.Row(0)[3]);
    EXPECT_EQ(DarkenByte(bright.rows.Row(0)[0]), dark.rows.Row(0)[0]);
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
