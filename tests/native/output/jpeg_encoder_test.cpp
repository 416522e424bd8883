#include "encode/jpeg_encoder.h"

#include <gtest/gtest.h>

#include "decoders.h"

namespace tovasen {
namespace {

bool HasMarker(const std::vector<std::uint8_t>& jpeg, std::uint8_t marker) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return true;
    }
    return false;
}

TEST(JpegEncoder, IsABaselineColourJpegCloseToTheSource) {
    for (int bpp : {3, 4}) {
        const test::OwnedImage image = test::ScreenshotLike(320, 200, bpp);
        const std::vector<std::uint8_t> jpeg = EncodeJpeg(image.View());
        EXPECT_TRUE(HasMarker(jpeg, 0xC0)) << "baseline frame";
        EXPECT_FALSE(HasMarker(jpeg, 0xC2)) << "progressive frame";
        const test::RgbImage decoded = test::DecodeJpegWithLibjpeg(jpeg);
        ASSERT_EQ(320, decoded.width);
        EXPECT_GT(test::Psnr(test::ToRgb(image), decoded), 27.0) << "bytes per pixel " << bpp;
        EXPECT_GT(test::Psnr(test::ToRgb(image), test::DecodeWithImageMagick(jpeg, ".jpg")), 27.0);
    }
}

TEST(JpegEncoder, QualityChangesTheSizeClearly) {
    const test::OwnedImage image = test::ScreenshotLike(400, 300);
    const std::size_t q60 = EncodeJpeg(image.View(), 60).size();
    const std::size_t q100 = EncodeJpeg(image.View(), 100).size();
    EXPECT_GT(q100, q60 * 3 / 2) << "60: " << q60 << " bytes, 100: " << q100 << " bytes";
    EXPECT_EQ(EncodeJpeg(image.View(), 90), EncodeJpeg(image.View())) << "the default quality is 90";
    EXPECT_FALSE(EncodeJpeg(image.View(), 0).empty());
}

}  // namespace
}  // namespace tovasen
