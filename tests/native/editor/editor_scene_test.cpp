// The shown picture, redone piece by piece after each change, always equals the picture made
// from scratch: redactions moved over each other, objects over redactions, undo and redo.
#include "editor/editor_scene.h"

#include <gtest/gtest.h>

#include <string>

#include "editor/redaction.h"

namespace tovasen {
namespace {

TPixelBuffer Noise(int w, int h) {
    TPixelBuffer image(w, h);
    std::uint32_t s = 9;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            image.At(x, y) = 0xFF000000u | (s >> 8);
        }
    }
    return image;
}

// Where a stand-in painter marks an object: its painted box, and for strokes only the boxes
// of their segments, as a real stroke covers only what lies near its segments.
bool Covers(const TAnnotation& a, TPointI p) {
    if (!IsStrokeKind(a.Kind) || a.Points.size() < 2) return PaintBounds(a).Contains(p);
    for (std::size_t i = 1; i < a.Points.size(); ++i) {
        TAnnotation segment = a;
        segment.Points = {a.Points[i - 1], a.Points[i]};
        if (PaintBounds(segment).Contains(p)) return true;
    }
    return false;
}

// Stands in for GDI+: darkens what each drawn object covers with its colour, within clip.
void Paint(TPixelBuffer& picture, const TDocument& doc, const TBox& clip, std::uint32_t hidden) {
    for (const TAnnotation* a : PaintOrder(doc)) {
        if (IsRedaction(a->Kind) || a->Id == hidden) continue;
        const TBox box = Intersection(Intersection(PaintBounds(*a), clip), picture.Bounds());
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                if (Covers(*a, {x, y})) picture.At(x, y) = ((picture.At(x, y) >> 1) & 0x7F7F7F7Fu) | a->Color;
            }
        }
    }
}

// "" when equal, else where they first differ.
std::string Difference(const TPixelBuffer& want, const TPixelBuffer& got) {
    if (want.Width() != got.Width() || want.Height() != got.Height()) return "sizes differ";
    int count = 0;
    std::string first;
    for (int y = 0; y < want.Height(); ++y) {
        for (int x = 0; x < want.Width(); ++x) {
            if (want.At(x, y) != got.At(x, y) && count++ == 0) first = std::to_string(x) + "," + std::to_string(y);
        }
    }
    return count ? std::to_string(count) + " pixels differ, first at " + first : "";
}

TPixelBuffer FromScratch(const TPixelBuffer& base, const TDocument& doc, std::uint32_t hidden = 0) {
    TPixelBuffer shown = Burn(base, doc);
    Paint(shown, doc, shown.Bounds(), hidden);
    return shown;
}

TEST(EditorScene, RedoingOnlyWhatChangedGivesThePictureMadeFromScratch) {
    const TPixelBuffer base = Noise(300, 200);
    TEditorScene scene(base, TDocument::ForPicture(300, 200), Paint);
    TEditorModel& model = scene.Model();
    const TToolStyle style{0x00FF00, 4};
    int step = 0;
    auto drag = [&](TTool tool, TPointI from, TPointI to) {
        ++step;
        scene.Refresh(model.PointerDown(from, tool, style, 3));
        for (int i = 1; i <= 6; ++i) {
            scene.Refresh(model.PointerMove({from.x + (to.x - from.x) * i / 6, from.y + (to.y - from.y) * i / 6}));
        }
        scene.Refresh(model.PointerUp(to));
        ASSERT_EQ("", Difference(FromScratch(base, model.Document()), scene.Shown())) << "after drag " << step;
    };
    drag(TTool::Arrow, {10, 10}, {200, 150});
    drag(TTool::Pixelate, {50, 40}, {160, 120});  // under the arrow, which stays on top
    drag(TTool::Blackout, {140, 100}, {250, 180});
    drag(TTool::Pixelate, {200, 20}, {290, 90});
    drag(TTool::Select, {150, 30}, {120, 90});     // the pixelate's inside: moved over the first one
    drag(TTool::Select, {220, 130}, {60, 20});     // the blackout, across both
    drag(TTool::Pen, {5, 190}, {295, 5});
    for (int i = 0; i < 4; ++i) {
        scene.Refresh(model.Undo());
        ASSERT_EQ("", Difference(FromScratch(base, model.Document()), scene.Shown())) << "after undo " << i;
    }
    for (int i = 0; i < 2; ++i) {
        scene.Refresh(model.Redo());
        ASSERT_EQ("", Difference(FromScratch(base, model.Document()), scene.Shown())) << "after redo " << i;
    }
    const std::uint32_t arrow = model.Document().Objects.front().Id;
    scene.SetHidden(arrow);
    EXPECT_EQ("", Difference(FromScratch(base, model.Document(), arrow), scene.Shown())) << "a hidden object is left out";
    scene.SetHidden(0);
    EXPECT_EQ("", Difference(FromScratch(base, model.Document()), scene.Shown()));
    EXPECT_EQ("", Difference(FromScratch(base, model.Document()), scene.Flatten().Flat)) << "what is saved is what is shown";
}

}  // namespace
}  // namespace tovasen
