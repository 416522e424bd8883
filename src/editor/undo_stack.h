#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "editor/document.h"

namespace tovasen {

// One change to the object list, at a position of the list as it was when it happened.
struct TObjectChange {
    enum class TKind { Insert, Remove, Modify };
    TKind Kind = TKind::Modify;
    std::size_t Index = 0;
    TAnnotation Before;  // Remove, Modify
    TAnnotation After;   // Insert, Modify
};

// What one user action did, in the order it was done.
struct TUndoStep {
    std::vector<TObjectChange> Changes;
    std::optional<std::pair<TBox, TBox>> Crop;  // before, after
    // Consecutive steps with the same non-zero key are one action (a drag, a run of nudges).
    std::uint64_t MergeKey = 0;

    bool NoOp() const;
    // The picture area the step touches, before and after.
    TBox Area() const;
};

// Applies a step's changes to doc while recording them, so that what is recorded is exactly
// what was done.
class TStepRecorder {
public:
    explicit TStepRecorder(TDocument& doc) : FDoc(doc) {}
    void Insert(std::size_t index, TAnnotation a);
    // False when there is no such object.
    bool Remove(std::uint32_t id);
    bool Modify(const TAnnotation& updated);
    void SetCrop(const TBox& crop);
    TUndoStep Take(std::uint64_t mergeKey = 0);

private:
    TDocument& FDoc;
    TUndoStep FStep;
};

void Revert(TDocument& doc, const TUndoStep& step);
void Reapply(TDocument& doc, const TUndoStep& step);

// Undo history: steps already applied to the document, and those undone that can be redone.
class TUndoStack {
public:
    // Records an applied step and drops what could be redone. A no-op step is not kept; a step
    // whose merge key is the last step's, with nothing undone or sealed in between, folds into
    // it: each object keeps its state before the first and after the last.
    void Push(TUndoStep step);
    // Ends the current action: the next step never folds into the last one.
    void Seal() noexcept { FSealed = true; }

    bool CanUndo() const noexcept { return FDone > 0; }
    bool CanRedo() const noexcept { return FDone < FSteps.size(); }
    // Return the step undone or redone (so its area can be repainted), or null.
    const TUndoStep* Undo(TDocument& doc);
    const TUndoStep* Redo(TDocument& doc);

    std::size_t Count() const noexcept { return FSteps.size(); }
    void MarkSaved() noexcept { FSaved = FDone; }
    bool AtSavedState() const noexcept { return FSaved == FDone; }

private:
    static void Fold(TUndoStep& into, TUndoStep&& step);
    std::vector<TUndoStep> FSteps;
    std::size_t FDone = 0;
    // FDone when last saved; npos once that state can no longer be reached.
    std::size_t FSaved = 0;
    bool FSealed = true;
};

}  // namespace tovasen
