#include "web/page_extents.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

// At 100 %: a 2-pixel edge and a 17-pixel scroll bar, 6 pixels kept right of the content.
constexpr PageMargins k96{19, 6};

PageExtents Body(int w, int h) {
    PageExtents e;
    e.body = ScrollExtent{w, h};
    return e;
}

void ExpectSize(const WebCaptureSize& s, int layoutW, int layoutH, int w, int h) {
    EXPECT_EQ(layoutW, s.layoutWidth);
    EXPECT_EQ(layoutH, s.layoutHeight);
    EXPECT_EQ(w, s.width);
    EXPECT_EQ(h, s.height);
}

TEST(PageExtents, BodyOnlyIsRenderedWithItsMarginsAndCutToBodyPlusSix) {
    const WebCaptureSize s = ComputeWebCaptureSize(Body(800, 3000), 96, k96);
    ExpectSize(s, 825, 3000, 806, 3000);
    EXPECT_FALSE(s.clamped);
}

TEST(PageExtents, WidestElementDecidesAndTheMarginIsAddedOnce) {
    // A root element 10 pixels wider than the body is kept whole: adding the margin to the
    // body alone and cutting the strip afterwards would lose 9 of its pixels.
    PageExtents e = Body(800, 3000);
    e.root = ScrollExtent{810, 2000};
    ExpectSize(ComputeWebCaptureSize(e, 96, k96), 835, 3000, 816, 3000);

    e.root = ScrollExtent{1400, 3500};
    ExpectSize(ComputeWebCaptureSize(e, 96, k96), 1425, 3500, 1406, 3500);

    // Without a body (a frameset) the root and frames still measure the page.
    PageExtents frames;
    frames.root = ScrollExtent{300, 200};
    frames.frames = {{1200, 900}, {640, 5000}};
    ExpectSize(ComputeWebCaptureSize(frames, 96, k96), 1225, 5000, 1206, 5000);
}

TEST(PageExtents, SidesUnderTheMinimumFallBackOnEachAxisAlone) {
    ExpectSize(ComputeWebCaptureSize(PageExtents{}, 96, k96), 1024, 768, 1005, 768);
    ExpectSize(ComputeWebCaptureSize(Body(50, 2000), 96, k96), 1024, 2000, 1005, 2000);
    ExpectSize(ComputeWebCaptureSize(Body(800, 99), 96, k96), 825, 768, 806, 768);
    ExpectSize(ComputeWebCaptureSize(Body(800, 100), 96, k96), 825, 100, 806, 100);
    // 75 + 25 reaches 100: not under the minimum.
    ExpectSize(ComputeWebCaptureSize(Body(75, 300), 96, k96), 100, 300, 81, 300);
    ExpectSize(ComputeWebCaptureSize(Body(-5, -7), 96, k96), 1024, 768, 1005, 768);
}

TEST(PageExtents, HugePagesAreCutToThePictureLimitsFromTheTopLeft) {
    struct Case {
        int w, h;
        int width, height;
    } cases[] = {
        {1920, 2000000000, 1926, 65500},   // height limit
        {40000, 1000, 16383, 1000},        // width limit
        {16378, 1000, 16383, 1000},        // width limit, one pixel over
        {16377, 30000, 16383, 8192},       // pixel limit at the widest: 16383 * 8193 is over 2^27
        {4000, 60000, 4006, 33504},        // pixel limit at an ordinary width
        {2147483647, 2147483647, 16383, 8192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        const WebCaptureSize s = ComputeWebCaptureSize(Body(c.w, c.h), 96, k96);
        EXPECT_EQ(c.width, s.width);
        EXPECT_EQ(c.height, s.height);
        EXPECT_TRUE(s.clamped);
        EXPECT_LE(std::int64_t{s.width} * s.height, kPictureLimits.maxPixels);
        EXPECT_LE(s.layoutWidth, 65500);
        EXPECT_LE(s.layoutHeight, 65500);
        EXPECT_GE(s.layoutWidth - 19, s.width) << "the picture lies inside the render";
        EXPECT_GE(s.layoutHeight, s.height);
    }
}

TEST(PageExtents, ZoomScalesDocumentPixelsToDevicePixels) {
    // At 150 % the document reports the same numbers as at 100 %; the render must be half as
    // large again, or a third of the page is lost on each axis. Margins come at that DPI.
    const PageMargins m144{29, 9};
    ExpectSize(ComputeWebCaptureSize(Body(800, 3000), 144, m144), 1238, 4500, 1209, 4500);
    ExpectSize(ComputeWebCaptureSize(PageExtents{}, 144, m144), 1536, 1152, 1507, 1152);
    // Part pixels round up.
    ExpectSize(ComputeWebCaptureSize(Body(801, 3001), 144, m144), 1240, 4502, 1211, 4502);
    // No zoom reported: 100 %.
    ExpectSize(ComputeWebCaptureSize(Body(800, 3000), 0, k96), 825, 3000, 806, 3000);
}

}  // namespace
}  // namespace tovasen
