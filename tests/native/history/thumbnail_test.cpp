#include "history/thumbnail.h"

#include <gtest/gtest.h>

#include "decoders.h"
#include "encode/encode_error.h"
#include "encode/jpeg_encoder.h"
#include "synthetic_image.h"

namespace tovasen {
namespace {

TEST(Thumbnail, FitsWithinTheSideKeepingTheShape) {
    struct Case {
        int w, h, expectW, expectH;
    };
    const Case cases[] = {{1920, 1080, 256, 144}, {1080, 1920, 144, 256}, {200, 100, 200, 100},
                          {256, 256, 256, 256},   {5000, 3, 256, 1},       {1, 1, 1, 1}};
    for (const Case& c : cases) {
        const test::OwnedImage image = test::ScreenshotLike(c.w, c.h, 4);
        const TPixels fit = FitWithin(image.View(), kThumbnailSide);
        EXPECT_EQ(c.expectW, fit.Width) << c.w << "x" << c.h;
        EXPECT_EQ(c.expectH, fit.Height) << c.w << "x" << c.h;
        EXPECT_EQ(static_cast<std::size_t>(fit.Width) * fit.Height * 3, fit.Bytes.size());
    }
}

TEST(Thumbnail, EachPixelIsTheMeanOfWhatItCovers) {
    // 4x2 in 24 bits: two 2x2 blocks, one black and white in a checker, one pure red.
    test::OwnedImage image;
    image.width = 4;
    image.height = 2;
    image.bytesPerPixel = 3;
    image.pixels = {0, 0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 255,
                    255, 255, 255, 0, 0, 0, 0, 0, 255, 0, 0, 255};
    const TPixels half = FitWithin(image.View(), 2);
    ASSERT_EQ(2, half.Width);
    ASSERT_EQ(1, half.Height);
    EXPECT_EQ((std::vector<std::uint8_t>{128, 128, 128, 0, 0, 255}), half.Bytes);
}

TEST(Thumbnail, JpegRoundTripAndRefusals) {
    const test::OwnedImage image = test::Gradient(640, 360);
    const std::vector<std::uint8_t> jpeg = EncodeThumbnail(image.View());
    const TPixels decoded = DecodeThumbnail(jpeg);
    ASSERT_EQ(256, decoded.Width);
    ASSERT_EQ(144, decoded.Height);
    // Compared with what an independent decoder makes of the same bytes.
    const test::RgbImage reference = test::DecodeJpegWithLibjpeg(jpeg);
    ASSERT_EQ(256, reference.width);
    for (int i : {0, 100, 256 * 144 - 1}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(reference.rgb[static_cast<std::size_t>(i) * 3 + c],
                        decoded.Bytes[static_cast<std::size_t>(i) * 4 + 2 - c], 1) << i;
        }
        EXPECT_EQ(255, decoded.Bytes[static_cast<std::size_t>(i) * 4 + 3]);
    }

    EXPECT_THROW(DecodeThumbnail({}), EncodeError);
    EXPECT_THROW(DecodeThumbnail({0xFF, 0xD8, 0xFF, 0x00, 0x12}), EncodeError);
    std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 3));
    EXPECT_NO_FATAL_FAILURE({
        try {
            DecodeThumbnail(cut);  // a truncated file decodes grey at worst; it never crashes
        } catch (const EncodeError&) {
        }
    });
    const test::OwnedImage large = test::Gradient(300, 10);
    const std::vector<std::uint8_t> notOurs = EncodeJpeg(large.View(), 80);
    EXPECT_THROW(DecodeThumbnail(notOurs), EncodeError) << "wider than any thumbnail";
}

}  // namespace
}  // namespace tovasen
