#include "ocr/ocr_core.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovasen {
namespace {

std::wstring RectError(int w, int h, int l, int t, int r, int b) {
    try {
        ResolveRectangle(w, h, l, t, r, b);
    } catch (const ERtOcrError& e) {
        return e.Message();
    }
    return L"(accepted)";
}

TEST(OcrRectangle, ZerosMeanTheWholePictureAndSidesAreCheckedInOrder) {
    const TOcrRect whole = ResolveRectangle(30, 20, 0, 0, 0, 0);
    EXPECT_EQ(0, whole.Left);
    EXPECT_EQ(30, whole.Right);
    EXPECT_EQ(20, whole.Bottom);
    const TOcrRect part = ResolveRectangle(30, 20, 5, 6, 7, 8);
    EXPECT_EQ(2, part.Width());
    EXPECT_EQ(2, part.Height());
    EXPECT_EQ(L"(accepted)", RectError(30, 20, 0, 0, 30, 20));
    // Every side wrong at once: the left one is named first, then top, right, bottom.
    EXPECT_EQ(L"Incorrect Left value", RectError(30, 20, -1, -1, 31, 21));
    EXPECT_EQ(L"Incorrect Top value", RectError(30, 20, 0, -1, 31, 21));
    EXPECT_EQ(L"Incorrect Right value", RectError(30, 20, 0, 0, 31, 21));
    EXPECT_EQ(L"Incorrect Right value", RectError(30, 20, 0, 0, 0, 5)) << "right must be at least 1";
    EXPECT_EQ(L"Incorrect Bottom value", RectError(30, 20, 0, 0, 30, 21));
    EXPECT_EQ(L"Incorrect Bottom value", RectError(30, 20, 1, 0, 30, 0));
    // Empty rectangles would make a bitmap without pixels.
    EXPECT_EQ(L"Incorrect Right value", RectError(30, 20, 10, 0, 10, 20));
    EXPECT_EQ(L"Incorrect Right value", RectError(30, 20, 12, 0, 10, 20));
    EXPECT_EQ(L"Incorrect Bottom value", RectError(30, 20, 0, 9, 30, 9));
}

struct Picture {
    int width, height, bpp;
    std::ptrdiff_t stride;
    std::vector<std::uint8_t> bytes;
    Picture(int w, int h, int b, int pad = 0) : width(w), height(h), bpp(b), stride(w * b + pad) {
        bytes.resize(static_cast<std::size_t>(stride * h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = bytes.data() + y * stride + x * b;
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(y);
                if (b >= 3) p[2] = static_cast<std::uint8_t>(x + y);
                if (b == 4) p[3] = 0;  // a screen capture's unused byte
            }
        }
    }
    PixelView View() const { return {bytes.data(), width, height, stride, bpp}; }
};

void ExpectPacked(const std::vector<std::uint8_t>& out, const TOcrPlane& plane, const TOcrRect& rect,
                  const char* label) {
    int wrong = 0;
    for (int y = 0; y < rect.Height(); ++y) {
        for (int x = 0; x < rect.Width(); ++x) {
            const std::uint8_t* p = out.data() + plane.Start + y * plane.Stride + x * 4;
            const int sx = rect.Left + x, sy = rect.Top + y;
            wrong += p[0] != static_cast<std::uint8_t>(sx) || p[1] != static_cast<std::uint8_t>(sy) ||
                     p[2] != static_cast<std::uint8_t>(sx + sy) || p[3] != 0xFF;
        }
    }
    EXPECT_EQ(0, wrong) << label;
}

TEST(OcrPacking, CopiesTheRectangleOpaqueFromAnyLayout) {
    struct Case {
        const char* label;
        int width, height, bpp, pad;
        TOcrRect rect;
        std::ptrdiff_t start, extraStride;
    } cases[] = {
        {"32-bit whole, odd width", 7, 5, 4, 0, {0, 0, 7, 5}, 0, 0},
        {"24-bit with padded rows", 7, 5, 3, 3, {0, 0, 7, 5}, 0, 0},
        {"32-bit sub-rectangle", 9, 8, 4, 0, {2, 3, 7, 8}, 0, 0},
        {"24-bit sub-rectangle, single column", 5, 4, 3, 1, {4, 1, 5, 3}, 0, 0},
        {"plane with an offset and padded rows", 3, 3, 4, 0, {0, 0, 3, 3}, 16, 8},
    };
    for (const Case& c : cases) {
        const Picture picture(c.width, c.height, c.bpp, c.pad);
        const std::ptrdiff_t stride = c.rect.Width() * 4 + c.extraStride;
        std::vector<std::uint8_t> out(static_cast<std::size_t>(c.start + stride * c.rect.Height()), 0xCD);
        const TOcrPlane plane{out.data(), out.size(), c.start, stride, c.rect.Width(), c.rect.Height()};
        PackPixels(picture.View(), c.rect, plane);
        ExpectPacked(out, plane, c.rect, c.label);
        if (c.start > 0) EXPECT_EQ(0xCD, out[0]) << c.label << ": bytes before the first row stay untouched";
    }
}

TEST(OcrPacking, RefusesBuffersThatCannotHoldTheRectangle) {
    const Picture picture(4, 3, 4);
    const TOcrRect rect{0, 0, 4, 3};
    std::vector<std::uint8_t> out(4 * 4 * 3 + 64, 0xCD);
    auto packs = [&](TOcrPlane plane) {
        try {
            PackPixels(picture.View(), rect, plane);
            return true;
        } catch (const ERtOcrError&) {
            return false;
        }
    };
    EXPECT_TRUE(packs({out.data(), 48, 0, 16, 4, 3})) << "exactly enough";
    EXPECT_FALSE(packs({out.data(), 47, 0, 16, 4, 3})) << "one byte short";
    EXPECT_FALSE(packs({out.data(), 48, 1, 16, 4, 3})) << "the offset pushes the last row out";
    EXPECT_FALSE(packs({out.data(), 64, 0, 12, 4, 3})) << "a stride shorter than a row";
    EXPECT_FALSE(packs({out.data(), 64, 0, -16, 4, 3})) << "a bottom-up stride";
    EXPECT_FALSE(packs({out.data(), 64, 80, 16, 4, 3})) << "start beyond the capacity";
    EXPECT_FALSE(packs({out.data(), 64, 0, 16, 3, 3})) << "a bitmap of another size";
    EXPECT_FALSE(packs({nullptr, 64, 0, 16, 4, 3}));
    EXPECT_FALSE(packs({out.data(), 64, 0, PTRDIFF_MAX / 2, 4, 3})) << "a stride that would overflow";
    EXPECT_EQ(0xCD, out[48]) << "nothing written past the exact buffer";
    const Picture wide(4, 3, 2);
    EXPECT_THROW(PackPixels(wide.View(), rect, {out.data(), 64, 0, 16, 4, 3}), ERtOcrError) << "16-bit input";
    EXPECT_THROW(PackPixels(picture.View(), {0, 0, 5, 3}, {out.data(), 80, 0, 20, 5, 3}), ERtOcrError)
        << "a rectangle beyond the picture";
}

TEST(OcrLanguage, MatchesOnAllFourNamesExactly) {
    const TLanguages available = {
        {L"Serbian (Latin)", L"sr-Latn", L"srpski", L"Latin"},
        {L"Serbian (Cyrillic)", L"sr-Cyrl", L"српски", L"Cyrillic"},
        {L"English", L"en-US", L"English", L"Latin"},
    };
    EXPECT_EQ(std::optional<std::size_t>(1), FindLanguage(available, available[1]));
    EXPECT_EQ(std::optional<std::size_t>(2), FindLanguage(available, available[2]));
    TLanguage other = available[2];
    other.Script = L"Cyrillic";
    EXPECT_FALSE(FindLanguage(available, other)) << "the script differs";
    other = available[2];
    other.DisplayName = L"english";
    EXPECT_FALSE(FindLanguage(available, other)) << "case counts";
    other = available[2];
    other.NativeName = L"";
    EXPECT_FALSE(FindLanguage(available, other));
    other = available[2];
    other.LanguageTag = L"en-GB";
    EXPECT_FALSE(FindLanguage(available, other));
    EXPECT_FALSE(FindLanguage({}, available[0]));
    // Two entries equal in every name: the first one is taken.
    EXPECT_EQ(std::optional<std::size_t>(0), FindLanguage({available[2], available[2]}, available[2]));
}

TEST(OcrResult, PlatformStatusesMapToThreeOutcomes) {
    EXPECT_EQ(TStatus::stCompleted, StatusOf(1));
    EXPECT_EQ(TStatus::stCanceled, StatusOf(2));
    EXPECT_EQ(TStatus::stError, StatusOf(3));
    EXPECT_EQ(TStatus::stError, StatusOf(0)) << "still started counts as an error";
    EXPECT_EQ(TStatus::stError, StatusOf(-1));
}

TEST(OcrResult, LinesAreJoinedWithCrLfAfterEveryLine) {
    TLines lines(3);
    lines[0].Text = L"first";
    lines[2].Text = L"세 번째";
    EXPECT_EQ(L"first\r\n\r\n세 번째\r\n", JoinLines(lines));
    EXPECT_EQ(L"", JoinLines({}));
}

TEST(OcrEnlargement, ThreeTimesUnlessTheEngineLimitIsSmaller) {
    struct Case {
        int w, h, max, ew, eh;
    } cases[] = {
        {640, 480, 10000, 1920, 1440},
        {1920, 1080, 10000, 5760, 3240},
        {3840, 2160, 10000, 10000, 5625},   // a 4K capture: the longest side lands on the limit
        {12000, 100, 10000, 10000, 83},     // larger than the limit already: shrunk to fit
        {1, 1, 10000, 3, 3},
        {5000, 1, 10000, 10000, 2},
        {640, 480, 0, 1920, 1440},          // limit unknown
        {20000, 1, 10000, 10000, 1},        // never below one pixel
    };
    for (const Case& c : cases) {
        const TOcrSize s = EnlargedSize(c.w, c.h, c.max);
        EXPECT_EQ(c.ew, s.Width) << c.w << "x" << c.h;
        EXPECT_EQ(c.eh, s.Height) << c.w << "x" << c.h;
        EXPECT_LE(std::max(s.Width, s.Height), c.max > 0 ? c.max : 1 << 30);
    }
}

TEST(OcrGate, OneRecognitionAtATimeAndOnlyTheCurrentTicketEndsIt) {
    TRecognitionGate gate;
    const std::uint64_t first = gate.Begin();
    EXPECT_TRUE(gate.Busy());
    try {
        gate.Begin();
        ADD_FAILURE() << "a second Begin was accepted";
    } catch (const ERtOcrError& e) {
        EXPECT_EQ(L"Recognition already started", e.Message());
    }
    EXPECT_TRUE(gate.Complete(first));
    EXPECT_FALSE(gate.Busy());
    EXPECT_FALSE(gate.Complete(first)) << "a second completion of the same operation";

    const std::uint64_t second = gate.Begin();
    gate.Rollback(first);
    EXPECT_TRUE(gate.Busy()) << "a stale rollback leaves the running one alone";
    gate.Rollback(second);
    EXPECT_FALSE(gate.Busy());
    const std::uint64_t third = gate.Begin();
    EXPECT_FALSE(gate.Complete(second)) << "a late completion of a rolled-back start";
    EXPECT_TRUE(gate.Busy());
    EXPECT_TRUE(gate.Complete(third));
}

}  // namespace
}  // namespace tovasen
