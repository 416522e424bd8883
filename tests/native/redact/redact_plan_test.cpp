// Secrets to boxes: which words a finding covers, whichever way the engine gave the line's text,
// and the boxes as whole pixels of the picture, painted black.
#include "redact/redact_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tovasen {
namespace {

// Every occurrence of `marked` is a finding: the cases choose their spans exactly.
TSecretFinder Marking(std::wstring marked) {
    return [marked](std::wstring_view line) {
        std::vector<TSecretMatch> found;
        for (std::size_t at = line.find(marked); at != std::wstring_view::npos; at = line.find(marked, at + marked.size())) {
            found.push_back({at, marked.size(), TSecretKind::LabelledSecret});
        }
        return found;
    };
}

TWord W(const wchar_t* text, float x, float w = 20) { return {text, {x, 10, w, 12}}; }

bool Same(const TSRect& a, const TSRect& b) { return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height; }

TEST(RedactPlan, FindingsCoverTheWordsTheyTouch) {
    const float nan = std::nanf("");
    struct Case {
        const char* what;
        TLine line;
        const wchar_t* marked;
        std::vector<TSRect> boxes;
        std::size_t unplaced;
    } cases[] = {
        {"text given, one word", {L"mail a@b.c now", {W(L"mail", 0), W(L"a@b.c", 30), W(L"now", 60)}}, L"a@b.c",
         {{30, 10, 20, 12}}, 0},
        {"across two words", {L"card 4111 1111 end", {W(L"card", 0), W(L"4111", 30), W(L"1111", 55), W(L"end", 90)}},
         L"4111 1111", {{30, 10, 45, 12}}, 0},
        {"no text: words joined", {L"", {W(L"key", 0), W(L"AB", 30), W(L"CD", 60)}}, L"AB CD", {{30, 10, 50, 12}}, 0},
        {"no space between words", {L"電話090", {W(L"電話", 0), W(L"090", 25)}}, L"090", {{25, 10, 20, 12}}, 0},
        {"words not in the text", {L"garbled", {W(L"x", 0), W(L"SECRET", 30)}}, L"SECRET", {{30, 10, 20, 12}}, 0},
        {"inside a longer word", {L"pwd:SECRET ok", {W(L"pwd:SECRET", 5, 50), W(L"ok", 60)}}, L"SECRET", {{5, 10, 50, 12}}, 0},
        {"two findings", {L"SECRET and SECRET", {W(L"SECRET", 0), W(L"and", 30), W(L"SECRET", 60)}}, L"SECRET",
         {{0, 10, 20, 12}, {60, 10, 20, 12}}, 0},
        {"nothing found", {L"price 12.50", {W(L"price", 0), W(L"12.50", 30)}}, L"SECRET", {}, 0},
        {"text without words", {L"SECRET", {}}, L"SECRET", {}, 1},
        {"empty box", {L"SECRET", {{L"SECRET", {4, 4, 0, 12}}}}, L"SECRET", {}, 1},
        {"box not a number", {L"SECRET", {{L"SECRET", {nan, 4, 10, 12}}}}, L"SECRET", {}, 1},
    };
    for (const Case& c : cases) {
        const TRedactPlan plan = PlanRedaction({c.line}, Marking(c.marked));
        EXPECT_EQ(c.unplaced, plan.Unplaced) << c.what;
        ASSERT_EQ(c.boxes.size(), plan.Boxes.size()) << c.what;
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            const TSRect& got = plan.Boxes[i].Box;
            EXPECT_TRUE(Same(c.boxes[i], got)) << c.what << " box " << i << ": " << got.X << "," << got.Y << " " << got.Width
                                               << "x" << got.Height;
        }
    }
}

TEST(RedactPlan, BoxesBecomeWholePixelsOfThePictureWithAMarginAndArePaintedBlack) {
    struct Case {
        const char* what;
        TSRect box;
        double scale;
        TCoverRect want;
    } cases[] = {
        {"enlarged three times", {30, 15, 30, 15}, 3, {9, 4, 21, 11}},
        {"parts of pixels reach whole ones", {31, 16, 1, 1}, 3, {9, 4, 12, 7}},
        {"at the corner", {0, 0, 6, 6}, 3, {0, 0, 3, 3}},
        {"past the far edge", {50, 40, 100, 100}, 1, {49, 39, 64, 48}},
        {"all outside", {200, 200, 10, 10}, 1, {}},
        {"no scale", {1, 1, 10, 10}, 0, {}},
        {"not a number", {1, 1, std::nanf(""), 10}, 1, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, CoverRect(c.box, c.scale, c.scale, 64, 48)) << c.what;

    for (int bytes : {3, 4}) {
        const int w = 7, h = 5, stride = w * bytes + 3;  // rows padded, the padding must stay
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride * h), 0x77);
        PaintBlack({pixels.data(), w, h, stride, bytes}, {2, 1, 9, 3});
        int black = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < stride; ++x) {
                const std::uint8_t v = pixels[static_cast<std::size_t>(y * stride + x)];
                const bool inside = y >= 1 && y < 3 && x >= 2 * bytes && x < w * bytes;
                const std::uint8_t want = !inside ? 0x77 : (bytes == 4 && x % 4 == 3) ? 0xFF : 0;
                black += inside;
                EXPECT_EQ(want, v) << bytes << " bytes, byte " << x << " of row " << y;
            }
        }
        EXPECT_EQ(2 * 5 * bytes, black);
    }
}

}  // namespace
}  // namespace tovasen
