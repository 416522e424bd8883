#include "image/picture_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "base/errors.h"
#include "base/module_path.h"
#include "i18n/translation.h"
#include "image/bitmap.h"
#include "output/image_writers.h"
#include "support/files.h"
#include "support/process.h"
#include "support/picture_samples.h"

namespace tovasen {
namespace {

// A picture read into memory of the test's own, and what the reader said about it.
struct TRead {
    TPictureShape Shape;
    std::vector<std::uint32_t> Pixels;  // 0xAARRGGBB, rows top first
    int Asked = 0;                      // how often the reader asked for memory
};

TRead Read(const std::wstring& path) {
    TRead read;
    ReadPicture(path, [&](const TPictureShape& shape) {
        ++read.Asked;
        read.Shape = shape;
        read.Pixels.assign(static_cast<std::size_t>(shape.Width) * static_cast<std::size_t>(shape.Height), 0);
        return TPixelDestination{reinterpret_cast<std::uint8_t*>(read.Pixels.data()),
                                 static_cast<std::size_t>(shape.Width) * 4};
    });
    return read;
}

std::uint32_t Pattern(int x, int y) {
    return 0xFF000000u | (static_cast<std::uint32_t>(x * 6) << 16) | (static_cast<std::uint32_t>(y * 8) << 8) |
           static_cast<std::uint32_t>((x + y) * 3);
}

int Distance(std::uint32_t a, std::uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    }
    return most;
}

// The WebP library is looked for beside the running exe: put the shipped one there.
class PictureReader : public ::testing::Test {
protected:
    void SetUp() override { CopyFileW((test::DistFolder() + L"libwebp.dll").c_str(), Dll().c_str(), FALSE); }
    void TearDown() override { DeleteFileW(Dll().c_str()); }
    static std::wstring Dll() { return ExeFolder() + L"libwebp.dll"; }
    test::TempFolder folder;
};

TEST_F(PictureReader, EveryFormatTheProgramWritesReadsBackByItsBytesNotItsName) {
    constexpr int kW = 40, kH = 30;
    TBitmap source;
    source.SetPixelFormat(TPixelFormat::pf32bit);
    source.SetSize(kW, kH);
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(source.ScanLine(y));
        for (int x = 0; x < kW; ++x) row[x] = Pattern(x, y);
    }
    struct Case {
        const wchar_t* name;  // none of them says what the file is
        std::function<void(TBitmap&, const std::wstring&)> write;
        TPictureFormat format;
        int tolerance;  // against GDI+'s reading of the same file (WebP: against the pattern)
    } cases[] = {
        {L"a.dat", [](TBitmap& b, const std::wstring& p) { SavePNG(b, p); }, TPictureFormat::Png, 0},
        {L"b.png", [](TBitmap& b, const std::wstring& p) { SaveJPG(b, p, 90); }, TPictureFormat::Jpeg, 2},
        {L"c.jpg", [](TBitmap& b, const std::wstring& p) { SaveGIF(b, p); }, TPictureFormat::Gif, 0},
        {L"d", [](TBitmap& b, const std::wstring& p) { SaveBMP(b, p); }, TPictureFormat::Bmp, 0},
        {L"e.gif", [](TBitmap& b, const std::wstring& p) { SaveWebP(b, p, 100); }, TPictureFormat::WebP, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(c.format));
        const std::wstring path = folder.Path() + c.name;
        c.write(source, path);
        const TRead read = Read(path);
        EXPECT_EQ(1, read.Asked);
        EXPECT_EQ(c.format, read.Shape.Format);
        EXPECT_EQ(1u, read.Shape.Frames);
        ASSERT_EQ(kW, read.Shape.Width);
        ASSERT_EQ(kH, read.Shape.Height);
        const test::DecodedImage other =
            c.format == TPictureFormat::WebP ? test::DecodedImage{} : test::DecodeWithGdiplus(path);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x);
                const std::uint32_t expected = other.pixels.empty() ? Pattern(x, y) : other.pixels[at] | 0xFF000000u;
                ASSERT_LE(Distance(expected, read.Pixels[at]), c.tolerance)
                    << std::hex << expected << " / " << read.Pixels[at] << " at " << std::dec << x << ", " << y;
            }
        }
    }
}

TEST_F(PictureReader, AnAnimationGivesItsFirstFrameAndSaysHowManyThereAre) {
    const std::wstring path = folder.Path() + L"moving.gif";
    test::WriteFileBytes(path, test::kTwoFrameGif);
    const TRead read = Read(path);
    EXPECT_EQ(TPictureFormat::Gif, read.Shape.Format);
    EXPECT_EQ(2u, read.Shape.Frames);
    EXPECT_EQ((std::vector<std::uint32_t>{0xFF000000u, 0xFFFFFFFFu}), read.Pixels);
}

TEST_F(PictureReader, AlphaComesAsTheFileHoldsIt) {
    const std::wstring path = folder.Path() + L"cover.png";
    test::WriteFileBytes(path, test::kHalfCoveredPng);
    EXPECT_EQ((std::vector<std::uint32_t>{0x80FF0000u, 0xFF0000FFu}), Read(path).Pixels) << "not premultiplied";
}

// A bitmap header alone: the size is known before any pixel is.
std::vector<std::uint8_t> BmpHeader(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> bytes(54 + 64, 0);
    const auto put = [&](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, 54 + 64, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 32, 2);
    return bytes;
}

TEST_F(PictureReader, WhatCannotBeReadIsRefusedNamingTheFileAndTooLargeBeforeAnyMemoryIsAsked) {
    const std::vector<std::uint8_t> png = [&] {
        const std::wstring path = folder.Path() + L"whole.png";
        test::WriteFileBytes(path, test::kHalfCoveredPng);
        return test::ReadFileBytes(path);
    }();
    struct Case {
        const wchar_t* name;
        std::vector<std::uint8_t> bytes;
        const wchar_t* reason;  // the message's first line; nullptr: the decoder's own words
    } cases[] = {
        {L"text.png", {'h', 'e', 'l', 'l', 'o'}, L"지원하지 않는 그림 형식입니다."},
        {L"empty.png", {}, L"지원하지 않는 그림 형식입니다."},
        {L"wide.bmp", BmpHeader(65536, 1), L"그림이 너무 큽니다."},
        {L"tall.bmp", BmpHeader(1, 65536), L"그림이 너무 큽니다."},
        // Each side fits, the whole is over the largest picture the program writes.
        {L"many.bmp", BmpHeader(12000, 12000), L"그림이 너무 큽니다."},
        {L"cut.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 20), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes.size() << " bytes");
        const std::wstring path = folder.Path() + c.name;
        test::WriteFileBytes(path, c.bytes);
        int asked = 0;
        try {
            ReadPicture(path, [&](const TPictureShape&) {
                ++asked;
                return TPixelDestination{};
            });
            ADD_FAILURE() << "read";
        } catch (const Exception& e) {
            const std::wstring expected = c.reason ? Translate(c.reason) + L"\r\r" + path : Translate(L"그림 파일을 열 수 없습니다.");
            EXPECT_EQ(0u, e.Message().find(expected));
            EXPECT_NE(std::wstring::npos, e.Message().find(path));
        }
        EXPECT_EQ(0, asked);
    }
    // Just inside the limits, the reader asks for the memory (and the caller may still refuse).
    const std::wstring fits = folder.Path() + L"fits.bmp";
    test::WriteFileBytes(fits, BmpHeader(16383, 8192));
    int asked = 0;
    EXPECT_THROW(ReadPicture(fits,
                             [&](const TPictureShape& shape) -> TPixelDestination {
                                 ++asked;
                                 EXPECT_EQ(16383, shape.Width);
                                 EXPECT_EQ(8192, shape.Height);
                                 throw Exception(L"not wanted");
                             }),
                 Exception);
    EXPECT_EQ(1, asked);
    EXPECT_THROW(Read(folder.Path() + L"missing.png"), Exception);
}

}  // namespace
}  // namespace tovasen
