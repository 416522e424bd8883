#include "editor/editor_model.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace tovasen {
namespace {

constexpr std::uint64_t kNudgeKey = 1;
// How far outside the picture the pointer still counts; beyond it positions are held.
constexpr int kReach = 16384;
// A press that moves less than this draws nothing.
constexpr int kMinDrag = 2;

std::uint32_t NewSeed() {
    static std::random_device device;
    return device();
}

}  // namespace

TEditorModel::TEditorModel(TDocument doc) : FDoc(std::move(doc)) {}

bool TEditorModel::IsSelected(std::uint32_t id) const noexcept {
    return std::find(FSelection.begin(), FSelection.end(), id) != FSelection.end();
}

TBox TEditorModel::Objects(const std::vector<std::uint32_t>& ids) const {
    TBox area;
    for (std::uint32_t id : ids) {
        if (const TAnnotation* a = FDoc.Find(id)) area = Union(area, PaintBounds(*a));
    }
    return area;
}

TBox TEditorModel::SelectionBounds() const { return Objects(FSelection); }

TBox TEditorModel::Select(std::vector<std::uint32_t> ids) {
    std::erase_if(ids, [&](std::uint32_t id) { return FDoc.Find(id) == nullptr; });
    const TBox before = SelectionBounds();
    FSelection = std::move(ids);
    FUndo.Seal();  // a nudge after a new selection is a new step
    return Union(before, SelectionBounds());
}

TBox TEditorModel::SelectAll() {
    std::vector<std::uint32_t> all;
    for (const TAnnotation& a : FDoc.Objects) all.push_back(a.Id);
    return Select(std::move(all));
}

void TEditorModel::ForgetMissing() {
    std::erase_if(FSelection, [&](std::uint32_t id) { return FDoc.Find(id) == nullptr; });
}

TBox TEditorModel::Commit(TStepRecorder& recorder, std::uint64_t mergeKey) {
    TUndoStep step = recorder.Take(mergeKey);
    const TBox area = step.Area();
    FUndo.Push(std::move(step));
    ForgetMissing();
    return area;
}

TBox TEditorModel::Add(TAnnotation a) {
    if (Full()) return {};
    return InsertNew(std::move(a), 0);
}

TBox TEditorModel::AddAll(std::vector<TAnnotation> objects) {
    const TBox before = SelectionBounds();
    std::vector<std::uint32_t> added;
    TStepRecorder recorder(FDoc);
    for (TAnnotation& a : objects) {
        if (Full()) break;
        FDoc.Register(a);
        if (a.Kind == TShapeKind::Pixelate && a.Seed == 0) a.Seed = NewSeed();
        added.push_back(a.Id);
        recorder.Insert(FDoc.Objects.size(), std::move(a));
    }
    if (added.empty()) return {};
    const TBox area = Commit(recorder);
    FSelection = std::move(added);
    return Union(before, area);
}

bool TEditorModel::Full() const noexcept { return FDoc.Objects.size() >= kMaxObjects; }

TBox TEditorModel::InsertNew(TAnnotation a, std::uint64_t mergeKey) {
    FDoc.Register(a);
    if (a.Kind == TShapeKind::Pixelate && a.Seed == 0) a.Seed = NewSeed();
    const std::uint32_t id = a.Id;
    const TBox before = SelectionBounds();
    TStepRecorder recorder(FDoc);
    recorder.Insert(FDoc.Objects.size(), std::move(a));
    const TBox area = Commit(recorder, mergeKey);
    FSelection = {id};
    return Union(before, area);
}

TBox TEditorModel::DeleteSelection() {
    TStepRecorder recorder(FDoc);
    for (std::uint32_t id : FSelection) recorder.Remove(id);
    FSelection.clear();
    return Commit(recorder);
}

TBox TEditorModel::Nudge(int dx, int dy) {
    TStepRecorder recorder(FDoc);
    for (std::uint32_t id : FSelection) {
        TAnnotation moved = *FDoc.Find(id);
        MoveBy(moved, dx, dy);
        recorder.Modify(moved);
    }
    return Commit(recorder, kNudgeKey);
}

TBox TEditorModel::Restyle(std::optional<std::uint32_t> color, std::optional<int> size) {
    TStepRecorder recorder(FDoc);
    for (std::uint32_t id : FSelection) {
        TAnnotation changed = *FDoc.Find(id);
        if (color && changed.Kind != TShapeKind::Blackout && changed.Kind != TShapeKind::Pixelate) changed.Color = *color;
        if (size && changed.Kind != TShapeKind::Blackout) changed.Size = ClampSize(changed.Kind, *size);
        recorder.Modify(changed);
    }
    return Commit(recorder);
}

TBox TEditorModel::ReplaceText(std::uint32_t id, const std::wstring& text, const TBox& box) {
    const TAnnotation* current = FDoc.Find(id);
    if (!current || current->Kind != TShapeKind::Text) return {};
    TStepRecorder recorder(FDoc);
    if (text.empty()) {
        recorder.Remove(id);
    } else {
        TAnnotation changed = *current;
        changed.Text = text;
        changed.Points = {{box.left, box.top}, {box.right - 1, box.bottom - 1}};
        recorder.Modify(changed);
    }
    return Commit(recorder);
}

TBox TEditorModel::Undo() {
    FMode = TMode::None;
    const TUndoStep* step = FUndo.Undo(FDoc);
    ForgetMissing();
    return step ? step->Area() : TBox{};
}

TBox TEditorModel::Redo() {
    FMode = TMode::None;
    const TUndoStep* step = FUndo.Redo(FDoc);
    ForgetMissing();
    return step ? step->Area() : TBox{};
}

TPointI TEditorModel::Clamped(TPointI p) const noexcept {
    return {std::clamp(p.x, -kReach, FDoc.Width + kReach), std::clamp(p.y, -kReach, FDoc.Height + kReach)};
}

int TEditorModel::HandleAt(TPointI p, double tolerance) const {
    if (FSelection.size() != 1) return -1;
    const std::vector<TPointI> handles = Handles(*FDoc.Find(FSelection.front()));
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (std::abs(handles[i].x - p.x) <= tolerance && std::abs(handles[i].y - p.y) <= tolerance) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::uint32_t TEditorModel::TextAt(TPointI p) const {
    for (auto it = FDoc.Objects.rbegin(); it != FDoc.Objects.rend(); ++it) {
        if (it->Kind == TShapeKind::Text && HitTest(*it, p, 0)) return it->Id;
    }
    return 0;
}

std::optional<TBox> TEditorModel::Band() const {
    if (FMode != TMode::Band && FMode != TMode::Crop) return std::nullopt;
    return BoxOfCorners(FStart, FLast);
}

TBox TEditorModel::PointerDown(TPointI p, TTool tool, const TToolStyle& style, double tolerance) {
    p = Clamped(p);
    FUndo.Seal();
    ++FGesture;
    FStart = FLast = p;
    FMode = TMode::None;
    FOriginals.clear();
    const TToolInfo& info = ToolInfo(tool);
    switch (tool) {
    case TTool::Select: {
        FHandle = HandleAt(p, tolerance);
        if (FHandle >= 0) {
            FMode = TMode::Resize;
            FOriginals = {*FDoc.Find(FSelection.front())};
            return {};
        }
        TBox area;
        const std::uint32_t hit = ObjectAt(FDoc, p, tolerance);
        if (!hit) {
            FMode = TMode::Band;
            return Select({});
        }
        if (!IsSelected(hit)) area = Select({hit});
        FMode = TMode::Move;
        for (std::uint32_t id : FSelection) FOriginals.push_back(*FDoc.Find(id));
        return area;
    }
    case TTool::Crop:
        FMode = TMode::Crop;
        return {};
    case TTool::Text:
        return {};
    default:
        break;
    }
    // A picture at the object limit takes no new object; what is there can still be changed.
    if (Full()) return {};
    TAnnotation a;
    a.Kind = *info.Shape;
    a.Color = a.Kind == TShapeKind::Blackout ? 0x000000u : style.Color;
    a.Size = ClampSize(a.Kind, style.Size);
    a.Points = {p};
    if (tool == TTool::Pen || tool == TTool::Highlighter || tool == TTool::Step) {
        // Drawn from the first press: a click alone leaves a dot or a step.
        const TBox area = InsertNew(std::move(a), GestureKey());
        FMode = tool == TTool::Step ? TMode::Move : TMode::Stroke;
        FOriginals = {*FDoc.Find(FSelection.front())};
        return area;
    }
    a.Points.push_back(p);
    FPending = std::move(a);
    FPendingInserted = false;
    FMode = TMode::Create;
    return {};
}

TBox TEditorModel::PointerMove(TPointI p) {
    p = Clamped(p);
    if (FMode == TMode::None || p == FLast) return {};
    const TPointI previous = FLast;
    FLast = p;
    switch (FMode) {
    case TMode::Band:
    case TMode::Crop:
        return Union(BoxOfCorners(FStart, previous), BoxOfCorners(FStart, p));
    case TMode::Create: {
        if (!FPendingInserted) {
            if (std::abs(p.x - FStart.x) < kMinDrag && std::abs(p.y - FStart.y) < kMinDrag) return {};
            FPending.Points.back() = p;
            // The insertion and the drag that follows are one step.
            const TBox area = InsertNew(FPending, GestureKey());
            FPending.Id = FSelection.front();
            FPendingInserted = true;
            return area;
        }
        TAnnotation changed = *FDoc.Find(FPending.Id);
        changed.Points.back() = p;
        TStepRecorder recorder(FDoc);
        recorder.Modify(changed);
        return Commit(recorder, GestureKey());
    }
    case TMode::Stroke: {
        // At the point limit the stroke ends where it is, and stays what it was drawn so far.
        if (UseOf(FDoc).Points >= kMaxPoints) return {};
        TAnnotation changed = *FDoc.Find(FOriginals.front().Id);
        changed.Points.push_back(p);
        TStepRecorder recorder(FDoc);
        recorder.Modify(changed);
        // Only the new segment needs painting.
        const TBox segment = PaintBounds(TAnnotation{0, changed.Kind, 0, changed.Size, {previous, p}, {}, 0, 0});
        Commit(recorder, GestureKey());
        return segment;
    }
    case TMode::Move: {
        TStepRecorder recorder(FDoc);
        for (const TAnnotation& original : FOriginals) {
            TAnnotation moved = original;
            MoveBy(moved, p.x - FStart.x, p.y - FStart.y);
            recorder.Modify(moved);
        }
        return Commit(recorder, GestureKey());
    }
    case TMode::Resize: {
        TStepRecorder recorder(FDoc);
        recorder.Modify(Resized(FOriginals.front(), FHandle, p));
        return Commit(recorder, GestureKey());
    }
    case TMode::None:
        break;
    }
    return {};
}

TBox TEditorModel::PointerUp(TPointI p) {
    TBox area = PointerMove(p);
    const TMode mode = FMode;
    FMode = TMode::None;
    FUndo.Seal();
    if (mode == TMode::Band) {
        const TBox band = BoxOfCorners(FStart, FLast);
        std::vector<std::uint32_t> hit;
        for (const TAnnotation* a : PaintOrder(FDoc)) {
            if (Intersects(PaintBounds(*a), band)) hit.push_back(a->Id);
        }
        area = Union(area, Union(band, Select(std::move(hit))));
    } else if (mode == TMode::Crop) {
        const TBox crop = Intersection(BoxOfCorners(FStart, FLast), FDoc.Crop);
        area = Union(area, BoxOfCorners(FStart, FLast));
        if (crop.Width() >= kMinDrag && crop.Height() >= kMinDrag && !(crop == FDoc.Crop)) {
            const TBox old = FDoc.Crop;
            TStepRecorder recorder(FDoc);
            recorder.SetCrop(crop);
            area = Union(area, Union(old, Commit(recorder)));
        }
    }
    return area;
}

}  // namespace tovasen
