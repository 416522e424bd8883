#include "editor/editor_scene.h"

#include "editor/redaction.h"

namespace tovasen {

namespace {

bool HasRedaction(const TDocument& doc) {
    for (const TAnnotation& a : doc.Objects) {
        if (IsRedaction(a.Kind)) return true;
    }
    return false;
}

}  // namespace

TEditorScene::TEditorScene(TPixelBuffer base, TDocument doc, TPainter painter)
    : FBase(std::move(base)), FModel(std::move(doc)), FPainter(std::move(painter)) {
    if (HasRedaction(FModel.Document())) FBurned = Burn(FBase, FModel.Document());
    if (!FModel.Document().Objects.empty()) Prepare();
}

void TEditorScene::Prepare() {
    if (!FShown.Empty()) return;
    FShown = Burned();
    if (FPainter) FPainter(FShown, FModel.Document(), FShown.Bounds(), FHidden);
}

TBox TEditorScene::Refresh(const TBox& area) {
    Prepare();
    TBox redone = Intersection(area, FBase.Bounds());
    // Until the first redaction the burned picture is the base itself, with no copy kept.
    if (!FBurned.Empty() || HasRedaction(FModel.Document())) {
        if (FBurned.Empty()) FBurned = FBase;
        redone = RefreshBurned(FBase, FBurned, FModel.Document(), area);
    }
    if (redone.Empty()) return {};
    FShown.CopyFrom(Burned(), redone);
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
