#include "encode/bmp_encoder.h"

#include <gtest/gtest.h>

#include "decoders.h"

namespace tovasen {
namespace {

TEST(BmpEncoder, KeepsTheImagesOwnFormatAndPixels) {
    for (int bpp : {3, 4}) {
        // An odd width makes the 24-bit rows need padding.
        const test::OwnedImage image = test::ScreenshotLike(123, 45, bpp);
        const std::vector<std::uint8_t> bmp = EncodeBmp(image.View());
        EXPECT_EQ('B', bmp[0]);
        EXPECT_EQ(bpp * 8, bmp[28] | (bmp[29] << 8)) << "bits per pixel";
        EXPECT_EQ(0, bmp[30]) << "uncompressed";
        const std::size_t stride = (123 * bpp + 3) & ~3;
        EXPECT_EQ(54 + stride * 45, bmp.size());
        const test::RgbImage decoded = test::DecodeWithImageMagick(bmp, ".bmp");
        EXPECT_EQ(test::ToRgb(image).rgb, decoded.rgb) << "bytes per pixel " << bpp;
    }
}

}  // namespace
}  // namespace tovasen
