#include "encode/png_encoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "decoders.h"
#include "encode/encode_error.h"

namespace tovasen {
namespace {

struct Chunk {
    std::string type;
    std::vector<std::uint8_t> data;
};

std::uint32_t BE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::vector<Chunk> Chunks(const std::vector<std::uint8_t>& png) {
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BE32(&png[at]);
        Chunk c{std::string(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8), {}};
        c.data.assign(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length));
        chunks.push_back(std::move(c));
        at += 12 + length;
    }
    return chunks;
}

std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& data, std::size_t expected) {
    std::vector<std::uint8_t> out(expected + 1);
    uLongf size = static_cast<uLongf>(out.size());
    EXPECT_EQ(Z_OK, uncompress(out.data(), &size, data.data(), static_cast<uLong>(data.size())));
    out.resize(size);
    return out;
}

TEST(PngEncoder, DecodesToTheSamePixelsWhateverTheAlphaBytes) {
    for (int bpp : {3, 4}) {
        const test::OwnedImage image = test::ScreenshotLike(301, 77, bpp);
        const test::RgbImage decoded = test::DecodePngWithLibpng(EncodePng(image.View()));
        EXPECT_EQ(301, decoded.width) << bpp;
        EXPECT_EQ(test::ToRgb(image).rgb, decoded.rgb) << "bytes per pixel " << bpp;
    }
}

TEST(PngEncoder, HasTheFixedStructure) {
    const test::OwnedImage image = test::ScreenshotLike(640, 400);
    const std::vector<std::uint8_t> png = EncodePng(image.View(), {1});
    const std::vector<Chunk> chunks = Chunks(png);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ("IHDR", chunks.front().type);
    EXPECT_EQ("IEND", chunks.back().type);
    const std::vector<std::uint8_t>& ihdr = chunks.front().data;
    ASSERT_EQ(13u, ihdr.size());
    EXPECT_EQ(8, ihdr[8]) << "bit depth";
    EXPECT_EQ(2, ihdr[9]) << "colour type truecolour, no alpha";
    EXPECT_EQ(0, ihdr[12]) << "no interlace";
    std::vector<std::uint8_t> idat;
    for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
        EXPECT_EQ("IDAT", chunks[i].type) << "chunk " << i;
        EXPECT_LE(chunks[i].data.size(), 65535u) << "chunk " << i;
        idat.insert(idat.end(), chunks[i].data.begin(), chunks[i].data.end());
    }
    EXPECT_GT(chunks.size(), 3u) << "this image needs more than one IDAT";
    EXPECT_EQ(0x78, idat[0]);
    EXPECT_EQ(0xDA, idat[1]) << "zlib header of levels 7 to 9";
    const std::size_t rowBytes = 1 + 640 * 3;
    const std::vector<std::uint8_t> raw = Inflate(idat, rowBytes * 400);
    ASSERT_EQ(rowBytes * 400, raw.size());
    for (int y = 0; y < 400; ++y) EXPECT_EQ(1, raw[y * rowBytes]) << "filter byte of row " << y;

    const std::string path = test::WriteTempFile(png, ".png");
    std::string report;
    EXPECT_EQ(0, test::RunCommand("pngcheck '" + path + "' 2>&1", &report)) << report;
    std::remove(path.c_str());
}

TEST(PngEncoder, ParallelDeflateIsOneValidStreamOfTheSamePixels) {
    // Slices of whole rows: more threads than a short image has rows leaves none empty.
    const test::OwnedImage wide = test::ScreenshotLike(120000, 2);
    EXPECT_EQ(test::ToRgb(wide).rgb, test::DecodePngWithLibpng(EncodePng(wide.View(), {8})).rgb) << "two rows, eight threads";
    const test::OwnedImage image = test::ScreenshotLike(1280, 720);
    const std::vector<std::uint8_t> single = EncodePng(image.View(), {1});
    for (unsigned threads : {2u, 3u, 8u}) {
        const std::vector<std::uint8_t> parallel = EncodePng(image.View(), {threads});
        EXPECT_EQ(test::ToRgb(image).rgb, test::DecodePngWithLibpng(parallel).rgb) << threads << " threads";
        EXPECT_LE(parallel.size(), single.size() * 101 / 100) << threads << " threads: more than 1% larger";
        const std::string path = test::WriteTempFile(parallel, ".png");
        std::string report;
        EXPECT_EQ(0, test::RunCommand("pngcheck '" + path + "' 2>&1", &report)) << report;
        std::remove(path.c_str());
    }
    // zlib's own checks (Adler-32 included) on the joined stream, sliced unevenly.
    std::vector<std::uint8_t> data(3 * 256 * 1024 + 12345);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    EXPECT_EQ(data, Inflate(DeflateLevel7(data, 3), data.size()));
}

TEST(PngEncoder, RefusesAnEmptyImage) {
    test::OwnedImage empty{0, 10, 4, {}};
    EXPECT_THROW(EncodePng(empty.View()), EncodeError);
    test::OwnedImage flat{10, 0, 4, {}};
    EXPECT_THROW(EncodePng(flat.View()), EncodeError);
}

}  // namespace
}  // namespace tovasen
