#include "scroll/scroll_stitcher.h"
#include "scroll/scroll_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scrolled_document.h"

namespace tovasen {
namespace {

using test::ScrolledDocument;

ViewPixels Picture(const ScrollStitcher& stitcher) {
    ViewPixels picture(stitcher.Width(), stitcher.PictureHeight());
    stitcher.WritePicture(reinterpret_cast<std::uint8_t*>(picture.Row(0)),
                          static_cast<std::ptrdiff_t>(stitcher.Width()) * 4);
    return picture;
}

// Empty when equal, else where they first differ.
std::string Difference(const ViewPixels& expected, const ViewPixels& actual) {
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height()) {
        return "size " + std::to_string(actual.Width()) + " x " + std::to_string(actual.Height()) + ", expected " +
               std::to_string(expected.Width()) + " x " + std::to_string(expected.Height());
    }
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            if (expected.At(x, y) != actual.At(x, y)) {
                return "first difference at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return {};
}

// Scrolls the document by the steps in turn (repeating them) to its end; every step must be
// taken as moved by exactly the step.
ViewPixels ScrollThrough(const ScrolledDocument& doc, const std::vector<int>& steps, bool hint = false) {
    ScrollStitcher stitcher(doc.View(0), 65500);
    int position = 0;
    for (std::size_t i = 0; position < doc.MaxPosition(); ++i) {
        const int next = std::min(doc.MaxPosition(), position + steps[i % steps.size()]);
        const std::optional<int> expected = hint ? std::optional<int>(next - position) : std::nullopt;
        const ViewMatch match = stitcher.Add(doc.View(next), expected);
        EXPECT_EQ(MatchKind::kMoved, match.kind) << "step " << i << " from " << position << " to " << next;
        if (match.kind != MatchKind::kMoved) break;
        EXPECT_EQ(next - position, match.offset) << "step " << i;
        position = next;
    }
    EXPECT_EQ(MatchKind::kStill, stitcher.Add(doc.View(position)).kind) << "at the end nothing moves";
    return Picture(stitcher);
}

TEST(ScrollStitcher, JoinsUnevenStepsIntoTheDocumentWithHeaderAndFooterOnce) {
    struct Case {
        int docHeight;
        std::vector<int> steps;
    };
    const Case cases[] = {
        {2000, {37, 53, 41, 90, 7, 120, 64}},  // uneven wheel steps
        {500, {1}},                            // the smallest step there is
        {2000, {20, 150}},                     // a small first step, then three quarters of the band
        {2000, {48}},                          // three lines a notch
    };
    for (const Case& c : cases) {
        const ScrolledDocument doc = ScrolledDocument::Text(320, c.docHeight);
        EXPECT_EQ("", Difference(doc.Reference(), ScrollThrough(doc, c.steps))) << "first step " << c.steps[0];
    }
}

TEST(ScrollStitcher, AWindowThatDoesNotScrollGivesItsView) {
    const ScrolledDocument doc = ScrolledDocument::Text(200, 200);
    ScrollStitcher stitcher(doc.View(0), 65500);
    EXPECT_EQ(MatchKind::kStill, stitcher.Add(doc.View(0)).kind);
    EXPECT_EQ(0, stitcher.Steps());
    EXPECT_EQ("", Difference(doc.View(0), Picture(stitcher)));
}

TEST(ScrollStitcher, RefusesAStepPastTheViewAndTakesASmallerOneInstead) {
    const ScrolledDocument doc = ScrolledDocument::Text(320, 2000);
    ScrollStitcher stitcher(doc.View(0), 65500);
    ASSERT_EQ(MatchKind::kMoved, stitcher.Add(doc.View(40)).kind);
    for (int tooFar : {40 + doc.band + 10, 40 + doc.band - 2}) {
        const ViewMatch match = stitcher.Add(doc.View(tooFar));
        EXPECT_NE(MatchKind::kMoved, match.kind) << "to " << tooFar << ": offset " << match.offset;
        EXPECT_EQ(1, stitcher.Steps()) << "a refused view changes nothing";
    }
    int position = 40;
    for (int next = 140; position < doc.MaxPosition(); next = std::min(doc.MaxPosition(), next + 100)) {
        ASSERT_EQ(MatchKind::kMoved, stitcher.Add(doc.View(next)).kind) << next;
        position = next;
    }
    EXPECT_EQ("", Difference(doc.Reference(), Picture(stitcher)));
}

TEST(ScrollStitcher, BlankPaperLongerThanTheViewNeedsTheScrollBarsWord) {
    ScrolledDocument doc = ScrolledDocument::Text(320, 2000);
    doc.Clear(500, 900);
    ScrollStitcher stitcher(doc.View(0), 65500);
    MatchKind refused = MatchKind::kMoved;
    for (int position = 60; position <= doc.MaxPosition(); position += 60) {
        const ViewMatch match = stitcher.Add(doc.View(position));
        if (match.kind != MatchKind::kMoved) {
            refused = match.kind;
            break;
        }
        EXPECT_EQ(60, match.offset) << "a guess at " << position;
    }
    EXPECT_EQ(MatchKind::kAmbiguous, refused) << "blank paper fits every offset";
    EXPECT_EQ("", Difference(doc.Reference(), ScrollThrough(doc, {60}, true))) << "with the scroll bar's offset";
}

TEST(ScrollStitcher, RepeatingLinesAreNeverTakenAtAWrongOffset) {
    ScrolledDocument doc = ScrolledDocument::Text(320, 1200);
    // Every line the same: the view looks the same every 18 rows.
    for (int y = 18; y < doc.docHeight; ++y) {
        std::copy_n(doc.doc.begin() + (y % 18 + 36) * doc.ContentWidth(), doc.ContentWidth(),
                    doc.doc.begin() + y * doc.ContentWidth());
    }
    ScrollStitcher stitcher(doc.View(0), 65500);
    const ViewMatch match = stitcher.Add(doc.View(36));
    EXPECT_EQ(MatchKind::kAmbiguous, match.kind) << "taken as offset " << match.offset;
    EXPECT_EQ(36, stitcher.Add(doc.View(36), 36).offset) << "the scroll bar's offset is one of those that fit";
}

TEST(ScrollStitcher, ASpinnerInTheContentMatchesOnceSeenTurning) {
    ScrolledDocument doc = ScrolledDocument::Text(320, 1500);
    doc.spinnerRow = 300;
    ScrollStitcher stitcher(doc.View(0, 0), 65500);
    int tick = 0;
    int watched = 0;
    for (int position = 50; position <= doc.MaxPosition(); position = std::min(doc.MaxPosition(), position + 50)) {
        ViewPixels view = doc.View(position, ++tick);
        ViewMatch match = stitcher.Add(view);
        if (match.kind != MatchKind::kMoved) {
            // Watching the view standing still shows the spinner turning.
            view.MarkChangesFrom(doc.View(position, ++tick));
            match = stitcher.Add(view);
            ++watched;
        }
        ASSERT_EQ(MatchKind::kMoved, match.kind) << "at " << position;
        ASSERT_EQ(50, match.offset) << "at " << position;
        if (position == doc.MaxPosition()) break;
    }
    EXPECT_GT(watched, 0) << "the spinner never got in the way";
    const ViewPixels picture = Picture(stitcher);
    const ViewPixels reference = doc.Reference();
    ASSERT_EQ(reference.Height(), picture.Height());
    int wrong = 0;
    for (int y = 0; y < reference.Height(); ++y) {
        const bool spinnerRows = y >= doc.header + 300 && y < doc.header + 312;
        for (int x = 0; x < reference.Width(); ++x) {
            if (!(spinnerRows && x >= 40 && x < 52)) wrong += reference.At(x, y) != picture.At(x, y);
        }
    }
    EXPECT_EQ(0, wrong) << "pixels that differ outside the spinner";
}

TEST(ScrollStitcher, ASideBarIsTakenOnceAndContinuesInItsBackground) {
    ScrolledDocument doc;
    doc.width = 360;
    doc.sidebar = 60;
    doc.docHeight = 1600;
    doc.footerPadding = false;
    doc.FillText(7);
    EXPECT_EQ("", Difference(doc.Reference(), ScrollThrough(doc, {45, 70, 33})));
}

TEST(ScrollStitcher, StopsAtTheLimitKeepingTheFooter) {
    const ScrolledDocument doc = ScrolledDocument::Text(320, 2000);
    ScrollStitcher stitcher(doc.View(0), 700);
    int position = 0;
    while (!stitcher.AtLimit()) {
        position += 80;
        ASSERT_EQ(MatchKind::kMoved, stitcher.Add(doc.View(position)).kind);
    }
    EXPECT_GE(stitcher.Height(), 700);
    ASSERT_EQ(700, stitcher.PictureHeight());
    const ViewPixels picture = Picture(stitcher);
    const ViewPixels reference = doc.Reference();
    const int footerTop = 700 - doc.footer;
    for (int y = 0; y < 700; ++y) {
        const int from = y < footerTop ? y : reference.Height() - 700 + y;
        for (int x = 0; x < doc.width; ++x) {
            ASSERT_EQ(reference.At(x, from), picture.At(x, y)) << "(" << x << ", " << y << ")";
        }
    }
}

TEST(ScrollStitcher, PictureLimitsFollowTheWidth) {
    EXPECT_EQ(65500, MaxPictureHeight(1000, kPictureLimits));
    EXPECT_EQ(65500, MaxPictureHeight(2048, kPictureLimits)) << "2^27 / 2048 is 65536, above the side limit";
    EXPECT_EQ(32768, MaxPictureHeight(4096, kPictureLimits));
    EXPECT_EQ(8192, MaxPictureHeight(16383, kPictureLimits)) << "the widest: 16383 * 8193 is over 2^27";
}

TEST(ScrollUnitScale, PredictsOnlyAfterTwoStepsAgreeAndNeverAfterOneDisagrees) {
    ScrollUnitScale lines;
    lines.Observe(3, 48);
    EXPECT_FALSE(lines.Predict(3)) << "one step proves nothing";
    lines.Observe(5, 80);
    EXPECT_EQ(std::optional<int>(96), lines.Predict(6));

    ScrollUnitScale percent;
    percent.Observe(1, 37);
    percent.Observe(1, 37);
    percent.Observe(1, 53);
    EXPECT_FALSE(percent.Predict(1)) << "uneven steps: the bar does not count pixels";

    ScrollUnitScale halves;
    halves.Observe(2, 3);
    halves.Observe(4, 6);
    EXPECT_FALSE(halves.Predict(1)) << "1.5 pixels is not an offset";
    EXPECT_EQ(std::optional<int>(9), halves.Predict(6));
}

TEST(StepPlanner, AimsAtHalfTheBandAndBacksOffAfterAnOvershoot) {
    StepPlanner planner;
    EXPECT_EQ(1, planner.Units());
    planner.Moved(1, 48, 400);
    EXPECT_EQ(4, planner.Units()) << "200 pixels at 48 a notch";
    EXPECT_TRUE(planner.Overshot());
    EXPECT_EQ(2, planner.Units());
    planner.Moved(2, 20, 4000);
    EXPECT_EQ(3, planner.Units()) << "capped below the step that overshot";
    planner.Moved(1, 500, 400);
    EXPECT_EQ(1, planner.Units());
    EXPECT_FALSE(planner.Overshot()) << "one unit is as small as a step gets";
}

}  // namespace
}  // namespace tovasen
