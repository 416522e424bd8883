#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "output/image_save_dialog.h"
#include "image/bitmap.h"
#include "ui/form.h"
#include "ui/menu.h"

namespace tovasen {

// Where and how a floating picture is saved; asked for when the user saves, so the main
// window's current choices count.
struct TFloatingSaveOptions {
    std::wstring Folder;
    int JpegQuality = 90;
    int WebPQuality = 90;
};

// A pinned snapshot: a borderless, topmost tool window with no owner that shows a capture 1:1 at
// the place it was taken. The left button drags it; the right button opens its
// menu (save, delete, delete all). Whoever keeps the window decides what "delete" does
// (OnDelete: this window, or null for all); the window never frees itself from its own handler.
class TFrmFloating : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmFloating";

    // Creates the window hidden, already at rect (screen coordinates, right and bottom
    // excluded), showing picture. The picture is shared, not copied: a capture's pixels are
    // never changed once taken, and a second copy of a whole screen is time and memory a
    // pinned window does not need. ShowFloating shows it.
    TFrmFloating(std::shared_ptr<TBitmap> picture, const RECT& rect);
    ~TFrmFloating() override;

    void ShowFloating();
    const TBitmap& Image() const noexcept { return *FImage; }

    // Runs the compositor's shadow around the borderless window; true when it is in force.
    bool ApplyWindowShadow();

    void BtnSaveClick();
    void BtnEditClick();
    void BtnDeleteClick();
    void BtnDeleteAllClick();

    // Takes the window off the screen for good and frees it once no handler of its own runs
    // any more: at once (deferred through the application) or when its menu or save dialog
    // has returned. A save dialog that is open is closed without saving.
    void Discard();

    std::function<void(TFrmFloating* form)> OnDelete;
    // Given the picture as the window is freed; others may still hold it.
    std::function<void(std::shared_ptr<TBitmap> picture)> OnFreed;
    // Opens the picture for editing; the menu offers "편집" only when it is set.
    std::function<void(TFrmFloating& form)> OnEdit;
    std::function<TFloatingSaveOptions()> SaveOptions;
    TImageSaveDialogFactory SaveDialogFactory = NewSystemImageSaveDialog;

    TPopupMenu* Popup = nullptr;
    TMenuItem *BtnSave = nullptr, *BtnEdit = nullptr, *DivPop1 = nullptr, *BtnDelete = nullptr, *BtnDeleteAll = nullptr;

    // Shows a copy of picture from now on (an edited one), the window resized to it from its
    // top-left corner.
    void ReplaceImage(TBitmap& picture);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The picture is shown pixel for pixel: a change of monitor DPI changes nothing.
    void DpiChanged(int dpi, const RECT& suggested) override;

private:
    // Marks a stretch in which this window's own handler runs a message loop (its menu, its
    // save dialog); a discard meanwhile is finished when the outermost one ends.
    class TNested;
    void ImageMouseDown();
    void PopupMenuAt(POINT screen);
    void Paint();

    std::shared_ptr<TBitmap> FImage;
    TImageSaveDialog* FDialog = nullptr;
    int FNested = 0;
    bool FDiscarded = false;
};

// Saves picture as the file type chosen in the save dialog, whatever the name's extension.
void SaveAsImageType(TBitmap& picture, const TSaveChoice& choice, const TFloatingSaveOptions& options);

}  // namespace tovasen
