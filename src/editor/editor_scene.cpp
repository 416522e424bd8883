#include "editor/editor_scene.h"

#include "editor/redaction.h"

namespace tovasen {

TEditorScene::TEditorScene(TPixelBuffer base, TDocument doc, TPainter painter)
    : FBase(std::move(base)), FModel(std::move(doc)), FPainter(std::move(painter)) {
    FBurned = Burn(FBase, FModel.Document());
    FShown = FBurned;
    if (FPainter) FPainter(FShown, FModel.Document(), FShown.Bounds(), 0);
}

TBox TEditorScene::Refresh(const TBox& area) {
    TBox redone = RefreshBurned(FBase, FBurned, FModel.Document(), area);
    if (redone.Empty()) return {};
    FShown.CopyFrom(FBurned, redone);
    if (FPainter) FPainter(FShown, FModel.Document(), redone, FHidden);
    return redone;
}

TBox TEditorScene::SetHidden(std::uint32_t id) {
    if (id == FHidden) return {};
    TBox area;
    for (std::uint32_t changed : {FHidden, id}) {
        if (const TAnnotation* a = FModel.Document().Find(changed)) area = Union(area, PaintBounds(*a));
    }
    FHidden = id;
    return Refresh(area);
}

TFlattened TEditorScene::Flatten() const {
    const TPainter& painter = FPainter;
    return tovasen::Flatten(FBase, FModel.Document(), [&painter](TPixelBuffer& picture, const TDocument& doc) {
        if (painter) painter(picture, doc, picture.Bounds(), 0);
    });
}

}  // namespace tovasen
