#include "editor/editor_entry.h"

#include "editor/annotation_json.h"
#include "editor/picture_bitmap.h"
#include "editor/picture_file.h"
#include "editor/png_chunks.h"
#include "i18n/translation.h"
#include "output/frm_floating.h"
#include "ui/application.h"

namespace tovasen {
namespace {

TComponent* OwnerOr(TComponent* owner) { return owner ? owner : Application; }

}  // namespace

TFrmEditor& EditForOutput(TBitmap& picture, TEditorDone onDone, std::function<void()> onCancelled, TComponent* owner) {
    TPixelBuffer pixels = PixelsOfBitmap(picture);
    TDocument doc = TDocument::ForPicture(pixels.Width(), pixels.Height());
    auto* form = new TFrmEditor(OwnerOr(owner), std::move(pixels), std::move(doc), true);
    form->OnDone = std::move(onDone);
    form->OnCancelled = std::move(onCancelled);
    form->ShowEditor();
    return *form;
}

TFrmEditor& EditFile(const std::wstring& path, std::function<void(bool saved)> onClosed, TComponent* owner) {
    TPictureFile file = ReadPictureFile(path);
    TDocument doc = TDocument::ForPicture(file.Pixels.Width(), file.Pixels.Height());
    std::wstring notice;
    if (file.Format == TPictureFormat::Png) {
        try {
            const TEditStore store = LocalEditStore();
            if (std::optional<TEditablePicture> editable = DecodeEditablePng(file.Bytes, file.Pixels, &store)) {
                file.Pixels = std::move(editable->Base);
                doc = std::move(editable->Document);
            }
        } catch (const TMarksNotHereError&) {
            notice = Translate(L"이 그림의 개체는 저장한 컴퓨터에서만 지울 수 있어 그림만 엽니다.");
        } catch (const TAnnotationFormatError&) {
            notice = Translate(L"그림 위의 개체를 읽을 수 없어 그림만 엽니다.");
        } catch (const TPngFormatError&) {
            notice = Translate(L"그림 위의 개체를 읽을 수 없어 그림만 엽니다.");
        }
    }
    auto* form = new TFrmEditor(OwnerOr(owner), std::move(file.Pixels), std::move(doc), false);
    form->FilePath = path;
    form->FileFormat = file.Format;
    form->OnClosed = std::move(onClosed);
    form->Notice = notice;
    form->ShowEditor();
    return *form;
}

TFrmEditor& EditFloating(TFrmFloating& floating) {
    TFrmFloating* target = &floating;
    // The editor is the floating window's own: if the window is deleted first, so is the editor
    // (its Done can then never reach a window that is gone).
    TFrmEditor& editor = EditForOutput(
        const_cast<TBitmap&>(floating.Image()), [target](TEditedPicture& picture) { target->ReplaceImage(picture.Flat()); },
        [] {}, &floating);
    // Over the always-on-top window it was opened from.
    SetWindowPos(editor.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return editor;
}

}  // namespace tovasen
