#include "editor/undo_stack.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace tovasen {
namespace {

using TKind = TObjectChange::TKind;

std::uint32_t IdOf(const TObjectChange& c) noexcept { return c.Kind == TKind::Remove ? c.Before.Id : c.After.Id; }

void InsertAt(TDocument& doc, std::size_t index, const TAnnotation& a) {
    if (index > doc.Objects.size()) throw std::logic_error("undo: insert position out of range");
    doc.Objects.insert(doc.Objects.begin() + static_cast<std::ptrdiff_t>(index), a);
}

void RemoveAt(TDocument& doc, std::size_t index) {
    if (index >= doc.Objects.size()) throw std::logic_error("undo: remove position out of range");
    doc.Objects.erase(doc.Objects.begin() + static_cast<std::ptrdiff_t>(index));
}

void ReplaceAt(TDocument& doc, std::size_t index, const TAnnotation& a) {
    if (index >= doc.Objects.size()) throw std::logic_error("undo: change position out of range");
    doc.Objects[index] = a;
}

}  // namespace

bool TUndoStep::NoOp() const {
    if (Crop && !(Crop->first == Crop->second)) return false;
    for (const TObjectChange& c : Changes) {
        if (c.Kind != TKind::Modify || !(c.Before == c.After)) return false;
    }
    return true;
}

TBox TUndoStep::Area() const {
    TBox area;
    for (const TObjectChange& c : Changes) {
        if (c.Kind != TKind::Insert) area = Union(area, PaintBounds(c.Before));
        if (c.Kind != TKind::Remove) area = Union(area, PaintBounds(c.After));
    }
    if (Crop) area = Union(area, Union(Crop->first, Crop->second));
    return area;
}

// Every object the editor makes or changes passes here, so this is where it is held within what
// a saved file may carry.
void TStepRecorder::Insert(std::size_t index, TAnnotation a) {
    if (index > FDoc.Objects.size()) index = FDoc.Objects.size();
    FitToLimits(FDoc, a);
    InsertAt(FDoc, index, a);
    FStep.Changes.push_back({TKind::Insert, index, {}, std::move(a)});
}

bool TStepRecorder::Remove(std::uint32_t id) {
    const std::size_t index = FDoc.IndexOf(id);
    if (index == TDocument::npos) return false;
    FStep.Changes.push_back({TKind::Remove, index, FDoc.Objects[index], {}});
    RemoveAt(FDoc, index);
    return true;
}

bool TStepRecorder::Modify(const TAnnotation& wanted) {
    const std::size_t index = FDoc.IndexOf(wanted.Id);
    if (index == TDocument::npos) return false;
    TAnnotation updated = wanted;
    FitToLimits(FDoc, updated);
    if (FDoc.Objects[index] == updated) return true;
    FStep.Changes.push_back({TKind::Modify, index, FDoc.Objects[index], updated});
    FDoc.Objects[index] = updated;
    return true;
}

void TStepRecorder::SetCrop(const TBox& crop) {
    if (FStep.Crop) FStep.Crop->second = crop;
    else FStep.Crop.emplace(FDoc.Crop, crop);
    FDoc.Crop = crop;
}

TUndoStep TStepRecorder::Take(std::uint64_t mergeKey) {
    TUndoStep step = std::move(FStep);
    step.MergeKey = mergeKey;
    FStep = {};
    return step;
}

void Revert(TDocument& doc, const TUndoStep& step) {
    for (auto it = step.Changes.rbegin(); it != step.Changes.rend(); ++it) {
        switch (it->Kind) {
        case TKind::Insert:
            RemoveAt(doc, it->Index);
            break;
        case TKind::Remove:
            InsertAt(doc, it->Index, it->Before);
            break;
        case TKind::Modify:
            ReplaceAt(doc, it->Index, it->Before);
            break;
        }
    }
    if (step.Crop) doc.Crop = step.Crop->first;
}

void Reapply(TDocument& doc, const TUndoStep& step) {
    for (const TObjectChange& c : step.Changes) {
        switch (c.Kind) {
        case TKind::Insert:
            InsertAt(doc, c.Index, c.After);
            break;
        case TKind::Remove:
            RemoveAt(doc, c.Index);
            break;
        case TKind::Modify:
            ReplaceAt(doc, c.Index, c.After);
            break;
        }
    }
    if (step.Crop) doc.Crop = step.Crop->second;
}

void TUndoStack::Fold(TUndoStep& into, TUndoStep&& step) {
    for (TObjectChange& c : step.Changes) {
        // A later change of an object this action inserted or changed at the same place only
        // moves that change's end state; anything else (a removal, a reorder) is kept as is.
        auto same = std::find_if(into.Changes.rbegin(), into.Changes.rend(),
                                 [&](const TObjectChange& e) { return IdOf(e) == IdOf(c); });
        if (c.Kind == TKind::Modify && same != into.Changes.rend() && same->Kind != TKind::Remove &&
            same->Index == c.Index) {
            same->After = std::move(c.After);
            continue;
        }
        into.Changes.push_back(std::move(c));
    }
    if (step.Crop) {
        if (into.Crop) into.Crop->second = step.Crop->second;
        else into.Crop = step.Crop;
    }
}

void TUndoStack::Push(TUndoStep step) {
    if (step.Changes.empty() && !step.Crop) return;
    if (FDone < FSteps.size()) {
        FSteps.erase(FSteps.begin() + static_cast<std::ptrdiff_t>(FDone), FSteps.end());
        if (FSaved > FDone) FSaved = static_cast<std::size_t>(-1);
        FSealed = true;
    }
    const bool fold = !FSealed && FDone > 0 && step.MergeKey != 0 && FSteps.back().MergeKey == step.MergeKey;
    FSealed = false;
    if (fold) {
        // The saved state may have been the one in the middle of this action: no longer reachable.
        if (FSaved == FDone) FSaved = static_cast<std::size_t>(-1);
        Fold(FSteps.back(), std::move(step));
        if (FSteps.back().NoOp()) {
            FSteps.pop_back();
            --FDone;
        }
        return;
    }
    if (step.NoOp()) return;
    FSteps.push_back(std::move(step));
    ++FDone;
}

const TUndoStep* TUndoStack::Undo(TDocument& doc) {
    if (!CanUndo()) return nullptr;
    FSealed = true;
    const TUndoStep& step = FSteps[--FDone];
    Revert(doc, step);
    return &step;
}

const TUndoStep* TUndoStack::Redo(TDocument& doc) {
    if (!CanRedo()) return nullptr;
    FSealed = true;
    const TUndoStep& step = FSteps[FDone++];
    Reapply(doc, step);
    return &step;
}

}  // namespace tovasen
