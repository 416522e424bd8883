// Pixelate and blackout: block sizes, what is left of the source, and keeping the shown
// picture up to date piece by piece.
#include "editor/redaction.h"

#include <gtest/gtest.h>

#include <set>

namespace tovasen {
namespace {

// Every pixel different: any unchanged source pixel could be told from its neighbours.
TPixelBuffer Noise(int w, int h, std::uint32_t seed = 1) {
    TPixelBuffer image(w, h);
    std::uint32_t s = seed;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            image.At(x, y) = 0xFF000000u | (s & 0xFFFFFFu);
        }
    }
    return image;
}

// The runs of equal pixels along a row of box: the widths of the blocks.
std::vector<int> RunsAlongRow(const TPixelBuffer& image, const TBox& box, int y) {
    std::vector<int> runs{1};
    for (int x = box.left + 1; x < box.right; ++x) {
        if (image.At(x, y) == image.At(x - 1, y)) ++runs.back();
        else runs.push_back(1);
    }
    return runs;
}

TEST(Pixelate, BlocksAreAtLeastTheBlockSizeEvenAtRaggedEdges) {
    struct Case {
        TBox box;
        int block;
        std::vector<int> widths;
    } cases[] = {
        {{0, 0, 48, 20}, 12, {12, 12, 12, 12}},
        {{5, 0, 35, 20}, 12, {15, 15}},   // 30 px: two blocks of 15, not 12 + 12 + 6
        {{0, 0, 59, 20}, 12, {14, 15, 15, 15}},
        {{10, 0, 15, 20}, 12, {5}},       // narrower than a block: one block
        {{0, 0, 48, 20}, 3, {12, 12, 12, 12}},  // never below 12
        {{0, 0, 40, 20}, 20, {20, 20}},
    };
    for (const Case& c : cases) {
        TPixelBuffer image = Noise(64, 20);
        Pixelate(image, c.box, c.block, 7);
        const std::vector<int> runs = RunsAlongRow(image, c.box, 3);
        EXPECT_EQ(c.widths, runs) << c.box.left << ".." << c.box.right;
    }
}

TEST(Pixelate, LeavesNoSourcePixelAndNothingOutsideChanges) {
    const TPixelBuffer source = Noise(120, 90);
    TPixelBuffer image = source;
    const TBox box{13, 7, 101, 77};
    Pixelate(image, box, 12, 99);
    std::set<std::uint32_t> inside;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) inside.insert(image.At(x, y));
    }
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            if (!box.Contains({x, y})) {
                ASSERT_EQ(source.At(x, y), image.At(x, y)) << "outside changed at " << x << "," << y;
            } else {
                EXPECT_EQ(0u, inside.count(source.At(x, y))) << "a source pixel survived from " << x << "," << y;
            }
        }
    }
    EXPECT_LE(inside.size(), std::size_t{(88 / 12) * (70 / 12)}) << "one colour per block";

    TPixelBuffer again = source, other = source;
    Pixelate(again, box, 12, 99);
    Pixelate(other, box, 12, 100);
    EXPECT_EQ(image, again) << "the same seed gives the same blocks";
    EXPECT_NE(image, other) << "another seed shifts them";
}

TEST(Pixelate, AUniformAreaStillChangesAndBoxesOutsideThePictureAreClipped) {
    TPixelBuffer image(50, 50, 0xFF808080u);
    Pixelate(image, {-20, -20, 30, 30}, 12, 5);
    int changed = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) changed += image.At(x, y) != 0xFF808080u;
    }
    EXPECT_GT(changed, 0) << "an even grey is still shifted, so the area shows it was redacted";
    EXPECT_EQ(0xFF808080u, image.At(30, 30));
    Blackout(image, {40, 40, 80, 80});
    EXPECT_EQ(0xFF000000u, image.At(49, 49));
    EXPECT_EQ(0xFF808080u, image.At(39, 49));
}

TEST(RefreshBurned, MatchesBurningFromScratchAfterEachChange) {
    const TPixelBuffer base = Noise(160, 120, 3);
    TDocument doc = TDocument::ForPicture(160, 120);
    auto add = [&](TShapeKind kind, TBox box) {
        TAnnotation a;
        a.Kind = kind;
        a.Seed = 11;
        a.Points = {{box.left, box.top}, {box.right - 1, box.bottom - 1}};
        doc.Register(a);
        doc.Objects.push_back(a);
    };
    add(TShapeKind::Pixelate, {10, 10, 70, 60});
    add(TShapeKind::Blackout, {50, 40, 90, 80});   // overlaps the first
    add(TShapeKind::Pixelate, {80, 70, 150, 110});  // overlaps the second, not the first
    TPixelBuffer burned = Burn(base, doc);
    // Move the last pixelate: its old and new place are refreshed, and what overlaps them.
    for (int step = 0; step < 4; ++step) {
        TAnnotation& moving = doc.Objects.back();
        const TBox before = PointsBox(moving);
        MoveBy(moving, -7, -5);
        const TBox refreshed = RefreshBurned(base, burned, doc, Union(before, PointsBox(moving)));
        EXPECT_EQ(Burn(base, doc), burned) << "after move " << step;
        EXPECT_LE(refreshed.left, 50) << "the blackout it overlaps was redone too";
    }
    EXPECT_TRUE(RefreshBurned(base, burned, doc, {200, 200, 300, 300}).Empty());
}

}  // namespace
}  // namespace tovasen
