#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/document.h"
#include "editor/editor_tools.h"
#include "editor/undo_stack.h"

namespace tovasen {

// The editor without its window: the document, its undo history, the selection and what a
// press, drag and release of the pointer does with each tool. Every change returns the part of
// the picture (document coordinates) that must be painted again.
class TEditorModel {
public:
    explicit TEditorModel(TDocument doc);

    const TDocument& Document() const noexcept { return FDoc; }
    bool Modified() const noexcept { return !FUndo.AtSavedState(); }
    void MarkSaved() noexcept { FUndo.MarkSaved(); }
    bool CanUndo() const noexcept { return FUndo.CanUndo(); }
    bool CanRedo() const noexcept { return FUndo.CanRedo(); }
    std::size_t UndoSteps() const noexcept { return FUndo.Count(); }

    const std::vector<std::uint32_t>& Selection() const noexcept { return FSelection; }
    bool IsSelected(std::uint32_t id) const noexcept;
    TBox Select(std::vector<std::uint32_t> ids);
    TBox SelectAll();
    // Where the selected objects are painted.
    TBox SelectionBounds() const;

    // One undoable step each.
    TBox Add(TAnnotation a);  // gets a new id, becomes the selection; nothing at kMaxObjects
    // Several objects as one step, selected together; those past kMaxObjects are left out.
    TBox AddAll(std::vector<TAnnotation> objects);
    bool Full() const noexcept;
    TBox DeleteSelection();
    // Moves the selection; a run of nudges with nothing else between is one step.
    TBox Nudge(int dx, int dy);
    // Gives the selected objects a colour or size (each only what its kind uses).
    TBox Restyle(std::optional<std::uint32_t> color, std::optional<int> size);
    // The text and box of a text object; empty text removes it.
    TBox ReplaceText(std::uint32_t id, const std::wstring& text, const TBox& box);
    TBox Undo();
    TBox Redo();

    // The pointer, in document coordinates. Text is typed in the window: PointerDown with the
    // text tool does nothing.
    TBox PointerDown(TPointI p, TTool tool, const TToolStyle& style, double tolerance);
    TBox PointerMove(TPointI p);
    TBox PointerUp(TPointI p);
    bool Dragging() const noexcept { return FMode != TMode::None; }
    // The rectangle being dragged out to select or crop.
    std::optional<TBox> Band() const;
    // The grip of the one selected object under p, or -1.
    int HandleAt(TPointI p, double tolerance) const;
    // The topmost text object at p, or 0.
    std::uint32_t TextAt(TPointI p) const;

private:
    enum class TMode { None, Move, Resize, Band, Create, Stroke, Crop };
    TBox Commit(TStepRecorder& recorder, std::uint64_t mergeKey = 0);
    TBox InsertNew(TAnnotation a, std::uint64_t mergeKey);
    TBox Objects(const std::vector<std::uint32_t>& ids) const;
    TPointI Clamped(TPointI p) const noexcept;
    std::uint64_t GestureKey() const noexcept { return (std::uint64_t{1} << 32) | FGesture; }
    void ForgetMissing();

    TDocument FDoc;
    TUndoStack FUndo;
    std::vector<std::uint32_t> FSelection;

    TMode FMode = TMode::None;
    std::uint32_t FGesture = 0;
    TPointI FStart, FLast;
    std::vector<TAnnotation> FOriginals;  // the objects a move or resize started from
    int FHandle = -1;
    TAnnotation FPending;  // a shape not yet dragged open
    bool FPendingInserted = false;
};

}  // namespace tovasen
