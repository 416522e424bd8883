#include "record/mirror_geometry.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

bool Intersects(const TRectI& a, const TRectI& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(MirrorGeometry, TheMirrorLiesOnNoMonitor) {
    const struct {
        const char* name;
        std::vector<TRectI> monitors;
    } layouts[] = {
        {"one", {{0, 0, 1920, 1080}}},
        {"laptop below an external screen", {{0, 0, 2560, 1440}, {320, 1440, 2240, 2520}}},
        {"screen left of the primary", {{-1280, -200, 0, 824}, {0, 0, 1920, 1080}}},
        {"portrait right, higher", {{0, 0, 1920, 1080}, {1920, -840, 3000, 1080}}},
    };
    for (const auto& layout : layouts) {
        const TPointI at = MirrorPosition(layout.monitors);
        // The largest mirror there can be: the whole virtual screen.
        const TRectI mirror{at.x, at.y, at.x + 10000, at.y + 10000};
        for (const TRectI& monitor : layout.monitors) EXPECT_FALSE(Intersects(mirror, monitor)) << layout.name;
    }
}

TEST(MirrorGeometry, SidesAreEvenAndNeverLargerThanTheVirtualScreen) {
    EXPECT_EQ(100, MirrorSide(101, 1920));
    EXPECT_EQ(1920, MirrorSide(9999, 1920));
    EXPECT_EQ(1366, MirrorSide(1367, 1367)) << "even, and still within the screen";
    EXPECT_EQ(2, MirrorSide(0, 1920));
}

TEST(MirrorGeometry, OnlyWhatLiesOnScreenIsCopiedToWhereItBelongs) {
    const TRectI screen{-1280, 0, 1920, 1080};
    struct Case {
        const char* name;
        TRectI region;
        int width, height;
        TRectI source;
        int destX, destY;
    } cases[] = {
        {"inside", {100, 100, 201, 151}, 100, 52, {100, 100, 200, 151}, 0, 0},
        {"grew after the start", {100, 100, 500, 500}, 100, 52, {100, 100, 200, 152}, 0, 0},
        {"off the left edge", {-1300, 10, -1200, 60}, 100, 50, {-1280, 10, -1200, 60}, 20, 0},
        {"off the bottom", {0, 1050, 100, 1100}, 100, 50, {0, 1050, 100, 1080}, 0, 0},
        {"a preset larger than every screen", {-1280, -25, 8719, 9974}, 3200, 1080, {-1280, 0, 1920, 1055}, 0, 25},
        {"nowhere", {5000, 5000, 5100, 5050}, 100, 50, {}, 0, 0},
    };
    for (const Case& c : cases) {
        const TMirrorCopy copy = MirrorCopy(c.region, c.width, c.height, screen);
        EXPECT_EQ(c.source, copy.source) << c.name;
        EXPECT_EQ(c.destX, copy.destX) << c.name;
        EXPECT_EQ(c.destY, copy.destY) << c.name;
    }
}

}  // namespace
}  // namespace tovasen
