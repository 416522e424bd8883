// The editor's model: undo history (one step per action, merged drags and nudges, the saved
// state) and what presses and drags do with each tool.
#include "editor/editor_model.h"

#include <gtest/gtest.h>

namespace tovasen {
namespace {

constexpr double kTolerance = 3.0;

class EditorModel : public ::testing::Test {
protected:
    TEditorModel model{TDocument::ForPicture(400, 300)};
    TToolStyle style;

    // A press, moves in steps of a few pixels, and a release, as a mouse gives them.
    TBox Drag(TTool tool, TPointI from, TPointI to, int moves = 10) {
        TBox area = model.PointerDown(from, tool, style, kTolerance);
        for (int i = 1; i <= moves; ++i) {
            area = Union(area, model.PointerMove({from.x + (to.x - from.x) * i / moves, from.y + (to.y - from.y) * i / moves}));
        }
        return Union(area, model.PointerUp(to));
    }
    const std::vector<TAnnotation>& Objects() const { return model.Document().Objects; }
};

TEST_F(EditorModel, EachDrawingToolMakesOneObjectInOneUndoStep) {
    struct Case {
        TTool tool;
        TShapeKind kind;
        std::size_t points;
    } cases[] = {
        {TTool::Rectangle, TShapeKind::Rectangle, 2}, {TTool::Ellipse, TShapeKind::Ellipse, 2},
        {TTool::Arrow, TShapeKind::Arrow, 2},         {TTool::Line, TShapeKind::Line, 2},
        {TTool::Pen, TShapeKind::Pen, 11},            {TTool::Highlighter, TShapeKind::Highlighter, 11},
        {TTool::Pixelate, TShapeKind::Pixelate, 2},   {TTool::Blackout, TShapeKind::Blackout, 2},
    };
    for (const Case& c : cases) {
        const std::size_t steps = model.UndoSteps();
        const TBox area = Drag(c.tool, {50, 60}, {150, 120});
        ASSERT_FALSE(Objects().empty()) << static_cast<char>(ToolInfo(c.tool).Key);
        const TAnnotation& made = Objects().back();
        EXPECT_EQ(c.kind, made.Kind) << static_cast<char>(ToolInfo(c.tool).Key);
        EXPECT_EQ(c.points, made.Points.size()) << static_cast<char>(ToolInfo(c.tool).Key);
        EXPECT_EQ((TPointI{150, 120}), made.Points.back()) << static_cast<char>(ToolInfo(c.tool).Key);
        EXPECT_EQ(steps + 1, model.UndoSteps()) << static_cast<char>(ToolInfo(c.tool).Key) << ": one step per drag, not per move";
        EXPECT_EQ(std::vector<std::uint32_t>{made.Id}, model.Selection()) << static_cast<char>(ToolInfo(c.tool).Key);
        EXPECT_EQ(Union(area, PaintBounds(made)), area) << static_cast<char>(ToolInfo(c.tool).Key) << ": what it paints was reported";
    }
    for (std::size_t i = std::size(cases); i > 0; --i) model.Undo();
    EXPECT_TRUE(Objects().empty());
    EXPECT_FALSE(model.Modified());
}

TEST_F(EditorModel, AClickWithoutDragDrawsNoShapeButPlacesAStep) {
    Drag(TTool::Rectangle, {10, 10}, {11, 10}, 1);
    EXPECT_TRUE(Objects().empty()) << "a one-pixel twitch is not a rectangle";
    EXPECT_FALSE(model.Modified());
    Drag(TTool::Step, {30, 30}, {30, 30}, 0);
    Drag(TTool::Step, {80, 30}, {80, 30}, 0);
    ASSERT_EQ(2u, Objects().size());
    EXPECT_EQ(2, StepNumber(model.Document(), Objects()[1]));
    EXPECT_EQ(2u, model.UndoSteps());
}

TEST_F(EditorModel, MovingAndResizingAreOneStepEachAndUndoRestoresExactly) {
    Drag(TTool::Rectangle, {10, 10}, {50, 40});
    const TAnnotation drawn = Objects().back();
    Drag(TTool::Select, {20, 10}, {120, 110});  // grab the top edge, move by (100, 100)
    EXPECT_EQ((TBox{110, 110, 151, 141}), PointsBox(Objects().back()));
    Drag(TTool::Select, {150, 140}, {170, 160});  // the bottom-right grip
    EXPECT_EQ((TBox{110, 110, 171, 161}), PointsBox(Objects().back()));
    EXPECT_EQ(3u, model.UndoSteps());

    const TBox undone = model.Undo();
    EXPECT_EQ((TBox{110, 110, 151, 141}), PointsBox(Objects().back()));
    EXPECT_EQ(Union(PaintBounds(Objects().back()), TBox{110, 110, 171, 161}), undone);
    model.Undo();
    EXPECT_EQ(drawn, Objects().back());
    model.Redo();
    model.Redo();
    EXPECT_EQ((TBox{110, 110, 171, 161}), PointsBox(Objects().back()));
    EXPECT_FALSE(model.CanRedo());
}

TEST_F(EditorModel, DeleteSelectAllAndUndoKeepTheOrderOfObjects) {
    for (int i = 0; i < 4; ++i) Drag(TTool::Line, {10, 10 + 20 * i}, {100, 10 + 20 * i});
    const std::vector<TAnnotation> before = Objects();
    model.Select({before[1].Id, before[3].Id});
    model.DeleteSelection();
    ASSERT_EQ(2u, Objects().size());
    EXPECT_EQ(before[0].Id, Objects()[0].Id);
    EXPECT_EQ(before[2].Id, Objects()[1].Id);
    EXPECT_TRUE(model.Selection().empty());
    model.Undo();
    EXPECT_EQ(before, Objects()) << "deleted objects come back at their places";
    model.SelectAll();
    EXPECT_EQ(4u, model.Selection().size());
    model.DeleteSelection();
    EXPECT_TRUE(Objects().empty());
    model.Undo();
    EXPECT_EQ(before, Objects());
}

TEST_F(EditorModel, NudgesMergeUntilSomethingElseHappens) {
    Drag(TTool::Ellipse, {10, 10}, {50, 50});
    const std::size_t steps = model.UndoSteps();
    for (int i = 0; i < 5; ++i) model.Nudge(1, 0);
    EXPECT_EQ(steps + 1, model.UndoSteps()) << "five presses of an arrow key are one step";
    model.Select(model.Selection());  // picking again ends the run
    model.Nudge(0, 10);
    EXPECT_EQ(steps + 2, model.UndoSteps());
    model.Undo();
    model.Undo();
    EXPECT_EQ((TBox{10, 10, 51, 51}), PointsBox(Objects().back()));
    model.Nudge(-3, 0);
    EXPECT_FALSE(model.CanRedo()) << "a new action drops what could be redone";
}

TEST_F(EditorModel, UndoHistoryFoldsOnlyMatchingKeysAndDropsNoOps) {
    TDocument doc = TDocument::ForPicture(10, 10);
    TUndoStack stack;
    TAnnotation a;
    a.Kind = TShapeKind::Line;
    a.Points = {{0, 0}, {1, 1}};
    doc.Register(a);
    auto modify = [&](int x, std::uint64_t key) {
        TStepRecorder r(doc);
        TAnnotation changed = *doc.Find(a.Id);
        changed.Points[1].x = x;
        r.Modify(changed);
        stack.Push(r.Take(key));
    };
    TStepRecorder insert(doc);
    insert.Insert(0, a);
    stack.Push(insert.Take(7));
    modify(5, 7);
    modify(6, 7);
    EXPECT_EQ(1u, stack.Count()) << "insert and the drag after it fold into one step";
    modify(8, 9);
    EXPECT_EQ(2u, stack.Count()) << "another key starts a new step";
    stack.Seal();
    modify(1, 9);
    EXPECT_EQ(3u, stack.Count()) << "sealed: the same key starts a new step too";
    modify(8, 9);
    EXPECT_EQ(2u, stack.Count()) << "dragged back to where it started: the step is dropped";
    stack.Undo(doc);
    stack.Undo(doc);
    EXPECT_TRUE(doc.Objects.empty());
    stack.Redo(doc);
    EXPECT_EQ(6, doc.Objects.at(0).Points[1].x);
}

TEST_F(EditorModel, ModifiedFollowsTheSavedStateThroughUndoAndRedo) {
    Drag(TTool::Rectangle, {10, 10}, {50, 50});
    EXPECT_TRUE(model.Modified());
    Drag(TTool::Arrow, {10, 10}, {50, 50});
    model.MarkSaved();
    EXPECT_FALSE(model.Modified());
    model.Undo();
    EXPECT_TRUE(model.Modified());
    model.Redo();
    EXPECT_FALSE(model.Modified()) << "back at what was saved";
    model.Undo();
    Drag(TTool::Line, {10, 10}, {50, 50});  // drops the saved arrow from the history
    EXPECT_TRUE(model.Modified());
    model.Undo();
    EXPECT_TRUE(model.Modified()) << "the saved state cannot be reached any more";
}

TEST_F(EditorModel, BandSelectsWhatItTouchesAndCropLimitsTheView) {
    Drag(TTool::Rectangle, {10, 10}, {40, 40});
    Drag(TTool::Rectangle, {200, 200}, {240, 240});
    Drag(TTool::Select, {0, 0}, {60, 60});
    EXPECT_EQ(std::vector<std::uint32_t>{Objects()[0].Id}, model.Selection());
    Drag(TTool::Select, {300, 290}, {5, 5});  // backwards
    EXPECT_EQ(2u, model.Selection().size());

    Drag(TTool::Crop, {50, 20}, {500, 250});
    EXPECT_EQ((TBox{50, 20, 400, 251}), model.Document().Crop) << "kept within the picture";
    EXPECT_EQ(2u, Objects().size()) << "cropping keeps the objects (an undo brings the view back)";
    model.Undo();
    EXPECT_EQ((TBox{0, 0, 400, 300}), model.Document().Crop);
}

TEST_F(EditorModel, TextAndRestyleChangeOnlyWhatTheirKindUses) {
    TAnnotation text;
    text.Kind = TShapeKind::Text;
    text.Size = 20;
    text.Text = L"hello";
    text.Points = {{10, 10}, {60, 30}};
    model.Add(text);
    const std::uint32_t id = Objects().back().Id;
    model.ReplaceText(id, L"hello\r\nworld", TBox{10, 10, 70, 60});
    EXPECT_EQ(L"hello\r\nworld", Objects().back().Text);
    EXPECT_EQ((TBox{10, 10, 70, 60}), PointsBox(Objects().back()));
    EXPECT_EQ(id, model.TextAt({20, 20}));

    Drag(TTool::Blackout, {100, 100}, {150, 150});
    model.SelectAll();
    model.Restyle(0x0000FFu, 500);
    EXPECT_EQ(0x0000FFu, Objects()[0].Color);
    EXPECT_EQ(kMaxFontSize, Objects()[0].Size) << "sizes are held within range";
    EXPECT_EQ(0x000000u, Objects()[1].Color) << "a blackout stays black";

    model.ReplaceText(id, L"", TBox{});
    EXPECT_EQ(1u, Objects().size()) << "emptied text is removed";
}

}  // namespace
}  // namespace tovasen

namespace tovasen {
namespace {

// What a saved file may carry is what the editor lets a user draw: no object past the count,
// no point past the total, no text past its length or the texts' total, no point past the
// coordinate range (a long text at a large size measures far to the right).
TEST_F(EditorModel, DrawingStopsAtTheLimitsASavedFileIsReadWithin) {
    TAnnotation text;
    text.Kind = TShapeKind::Text;
    text.Text = std::wstring(kMaxTextUnits + 500, L'x');
    text.Points = {{10, 10}, {5'000'000, 40}};
    model.Add(text);
    ASSERT_EQ(1u, Objects().size());
    EXPECT_EQ(kMaxTextUnits, Objects()[0].Text.size());
    EXPECT_EQ(kMaxCoordinate, Objects()[0].Points[1].x);

    // Texts up to their total: the last one gets what is left.
    while (UseOf(model.Document()).TextUnits < kMaxTextUnitsTotal) model.Add(text);
    EXPECT_EQ(kMaxTextUnitsTotal, UseOf(model.Document()).TextUnits);
    EXPECT_TRUE(Objects().back().Text.size() <= kMaxTextUnits);

    // A stroke ends where the points run out, and stays what was drawn.
    TDocument drawn = TDocument::ForPicture(400, 300);
    TAnnotation line{0, TShapeKind::Pen, 0xFF0000, 3, std::vector<TPointI>(kMaxPoints - 40, TPointI{3, 3}), {}, 0, 0};
    drawn.Register(line);
    drawn.Objects.push_back(line);
    TEditorModel strokes{drawn};
    strokes.PointerDown({0, 0}, TTool::Pen, style, kTolerance);
    for (int i = 1; i <= 100; ++i) strokes.PointerMove({i, i});
    strokes.PointerUp({1, 1});
    EXPECT_EQ(kMaxPoints, UseOf(strokes.Document()).Points);
    EXPECT_EQ(40u, strokes.Document().Objects.back().Points.size());

    // At the object count nothing new is drawn; what is there can still change.
    TDocument full = TDocument::ForPicture(400, 300);
    for (std::size_t i = 0; i < kMaxObjects; ++i) {
        TAnnotation box{0, TShapeKind::Rectangle, 0xFF0000, 3, {{1, 1}, {5, 5}}, {}, 0, 0};
        full.Register(box);
        full.Objects.push_back(box);
    }
    TEditorModel atLimit{full};
    EXPECT_TRUE(atLimit.Full());
    atLimit.PointerDown({50, 50}, TTool::Rectangle, style, kTolerance);
    atLimit.PointerMove({90, 90});
    atLimit.PointerUp({90, 90});
    atLimit.Add(text);
    EXPECT_EQ(kMaxObjects, atLimit.Document().Objects.size());
}

}  // namespace
}  // namespace tovasen
