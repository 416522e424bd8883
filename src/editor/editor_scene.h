#pragma once
#include <cstdint>
#include <functional>

#include "editor/editable_png.h"
#include "editor/editor_model.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

// The picture being edited and what is shown of it: the base picture, the same with its
// redactions (burned), and with the drawn objects on top (shown). A change redoes only the
// area it touched; the window shows Shown() as it is.
class TEditorScene {
public:
    // Paints the drawn objects of doc that reach into clip, leaving out the object `hidden`.
    using TPainter = std::function<void(TPixelBuffer& picture, const TDocument& doc, const TBox& clip, std::uint32_t hidden)>;

    TEditorScene(TPixelBuffer base, TDocument doc, TPainter painter);

    TEditorModel& Model() noexcept { return FModel; }
    const TEditorModel& Model() const noexcept { return FModel; }
    const TPixelBuffer& Base() const noexcept { return FBase; }
    // Until something is drawn the picture itself is shown, without a copy.
    const TPixelBuffer& Shown() const noexcept { return FShown.Empty() ? Burned() : FShown; }
    // Makes the copy that objects are drawn on, if there is none yet: the window asks for it
    // once it is up, so opening a large picture costs one copy less before it shows.
    void Prepare();

    // Brings Shown() up to date over area (document coordinates) after a change there, and
    // returns the area redone (larger when a redaction reaches beyond it).
    TBox Refresh(const TBox& area);
    // Leaves one object out of Shown() (0 for none); returns the area redone.
    TBox SetHidden(std::uint32_t id);
    std::uint32_t Hidden() const noexcept { return FHidden; }

    // What saving or Done hands on, every object painted.
    TFlattened Flatten() const;

private:
    const TPixelBuffer& Burned() const noexcept { return FBurned.Empty() ? FBase : FBurned; }

    TPixelBuffer FBase, FBurned, FShown;
    TEditorModel FModel;
    TPainter FPainter;
    std::uint32_t FHidden = 0;
};

}  // namespace tovasen
