// Object geometry: what a click picks, where painting may reach, how grips reshape, and how
// steps are numbered.
#include "editor/annotation.h"

#include <gtest/gtest.h>

#include "editor/document.h"

namespace tovasen {
namespace {

TAnnotation Make(TShapeKind kind, std::vector<TPointI> points, int size = 3) {
    TAnnotation a;
    a.Kind = kind;
    a.Size = size;
    a.Points = std::move(points);
    return a;
}

TEST(AnnotationHitTest, PicksOutlinesNearTheirLineAndFilledShapesInside) {
    const TAnnotation rect = Make(TShapeKind::Rectangle, {{10, 10}, {109, 59}});
    const TAnnotation ellipse = Make(TShapeKind::Ellipse, {{0, 0}, {99, 49}});
    const TAnnotation line = Make(TShapeKind::Line, {{0, 0}, {100, 0}});
    const TAnnotation arrow = Make(TShapeKind::Arrow, {{0, 0}, {100, 0}});
    const TAnnotation pen = Make(TShapeKind::Pen, {{0, 0}, {50, 0}, {50, 50}});
    const TAnnotation blackout = Make(TShapeKind::Blackout, {{10, 10}, {30, 30}});
    const TAnnotation step = Make(TShapeKind::Step, {{100, 100}});  // diameter 28
    struct Case {
        const char* label;
        const TAnnotation& a;
        TPointI p;
        bool hit;
    } cases[] = {
        {"rect on its left edge", rect, {10, 30}, true},
        {"rect just outside within tolerance", rect, {7, 30}, true},
        {"rect inside its stroke", rect, {12, 30}, true},
        {"rect in the middle", rect, {60, 35}, false},
        {"rect far outside", rect, {0, 30}, false},
        {"ellipse on its leftmost point", ellipse, {0, 24}, true},
        {"ellipse centre", ellipse, {50, 25}, false},
        {"ellipse box corner", ellipse, {1, 1}, false},
        {"line on it", line, {50, 1}, true},
        {"line beyond its end", line, {110, 0}, false},
        {"line beside it", line, {50, 8}, false},
        {"arrow near its head", arrow, {100, 5}, true},
        {"pen on the second segment", pen, {51, 25}, true},
        {"pen inside the corner it turns", pen, {25, 25}, false},
        {"blackout inside", blackout, {20, 20}, true},
        {"step inside its circle", step, {110, 100}, true},
        {"step outside its circle", step, {120, 120}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.hit, HitTest(c.a, c.p, 3.0)) << c.label;
}

TEST(AnnotationBounds, HoldEveryPixelPaintingMayTouch) {
    // Rectangles and redactions paint exactly their box; strokes reach half their width plus
    // antialiasing; an arrow's head reaches further.
    EXPECT_EQ((TBox{10, 20, 31, 41}), PaintBounds(Make(TShapeKind::Rectangle, {{30, 40}, {10, 20}})));
    EXPECT_EQ((TBox{10, 20, 31, 41}), PaintBounds(Make(TShapeKind::Pixelate, {{10, 20}, {30, 40}})));
    EXPECT_EQ((TBox{-4, -4, 105, 5}), PaintBounds(Make(TShapeKind::Line, {{0, 0}, {100, 0}}, 4)));
    const TBox arrow = PaintBounds(Make(TShapeKind::Arrow, {{0, 0}, {100, 0}}, 4));
    EXPECT_GE(arrow.bottom - 1, ArrowHeadLength(4) / 2) << "the head's wings are inside";
    const TBox step = PaintBounds(Make(TShapeKind::Step, {{50, 50}}, 3));
    EXPECT_LE(step.left, 50 - StepDiameter(3) / 2);
    EXPECT_GE(step.right, 50 + StepDiameter(3) / 2 + 1);
    EXPECT_TRUE(PaintBounds(TAnnotation{}).Empty()) << "an object without points paints nothing";
}

TEST(AnnotationResize, GripsMoveTheirEdgesAndStrokesStretch) {
    const TAnnotation rect = Make(TShapeKind::Rectangle, {{10, 10}, {20, 20}});
    ASSERT_EQ(8u, Handles(rect).size());
    EXPECT_EQ((TPointI{20, 20}), Handles(rect)[4]);
    struct Case {
        int handle;
        TPointI to;
        TBox expected;
    } cases[] = {
        {4, {40, 30}, {10, 10, 41, 31}},  // bottom-right corner
        {1, {99, 5}, {10, 5, 21, 21}},    // top side: only the top moves
        {7, {30, 99}, {20, 10, 31, 21}},  // left side dragged past the right edge flips
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, PointsBox(Resized(rect, c.handle, c.to))) << "handle " << c.handle;

    const TAnnotation line = Make(TShapeKind::Line, {{0, 0}, {10, 10}});
    EXPECT_EQ((std::vector<TPointI>{{0, 0}, {50, 7}}), Resized(line, 1, {50, 7}).Points);

    const TAnnotation pen = Make(TShapeKind::Pen, {{0, 0}, {10, 5}, {20, 10}});
    EXPECT_EQ((std::vector<TPointI>{{0, 0}, {20, 5}, {40, 10}}), Resized(pen, 3, {40, 5}).Points)
        << "dragging the right side doubles the width";
    EXPECT_TRUE(Handles(Make(TShapeKind::Step, {{1, 1}})).empty());
}

TEST(StepNumbers, AreConsecutiveInCreationOrderAfterDeletions) {
    TDocument doc = TDocument::ForPicture(100, 100);
    for (int i = 0; i < 4; ++i) {
        TAnnotation a = Make(TShapeKind::Step, {{i * 10, 0}});
        doc.Register(a);
        doc.Objects.push_back(a);
    }
    auto numbers = [&] {
        std::vector<int> n;
        for (const TAnnotation& a : doc.Objects) n.push_back(StepNumber(doc, a));
        return n;
    };
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), numbers());
    doc.Objects.erase(doc.Objects.begin() + 1);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), numbers()) << "no gap where step 2 was";
    TAnnotation next = Make(TShapeKind::Step, {{0, 50}});
    doc.Register(next);
    doc.Objects.insert(doc.Objects.begin(), next);  // even when it sits lowest in the list
    EXPECT_EQ(4, StepNumber(doc, next)) << "a new step continues after the last";
}

TEST(PaintOrder, RedactionsGoUnderEveryDrawnObject) {
    TDocument doc = TDocument::ForPicture(100, 100);
    for (TShapeKind kind : {TShapeKind::Rectangle, TShapeKind::Pixelate, TShapeKind::Arrow, TShapeKind::Blackout}) {
        TAnnotation a = Make(kind, {{10, 10}, {50, 50}});
        doc.Register(a);
        doc.Objects.push_back(a);
    }
    std::vector<std::uint32_t> ids;
    for (const TAnnotation* a : PaintOrder(doc)) ids.push_back(a->Id);
    EXPECT_EQ((std::vector<std::uint32_t>{2, 4, 1, 3}), ids);
    EXPECT_EQ(3u, ObjectAt(doc, {30, 30}, 2)) << "the arrow, painted last, is picked first";
    EXPECT_EQ(1u, ObjectAt(doc, {10, 30}, 2)) << "the rectangle's edge lies over the redactions";
    EXPECT_EQ(4u, ObjectAt(doc, {20, 40}, 2));
    EXPECT_EQ(0u, ObjectAt(doc, {90, 90}, 2));
}

}  // namespace
}  // namespace tovasen
