#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "output/frm_floating.h"

namespace tovasen {

// The open floating windows in the order they were made. The list owns them: deleting one
// takes it out at once and hides it, and frees it once its own handlers have returned.
class TFloatList {
public:
    explicit TFloatList(std::function<TFloatingSaveOptions()> saveOptions);
    TFloatList(const TFloatList&) = delete;
    TFloatList& operator=(const TFloatList&) = delete;
    ~TFloatList();

    // A new window showing picture (shared with it, see TFrmFloating) at rect, shown and appended.
    TFrmFloating& CreateFloatingWindow(std::shared_ptr<TBitmap> picture, const RECT& rect);
    // Deletes form, or every window when form is null; last made first.
    void FloatDelete(TFrmFloating* form);

    std::size_t Count() const noexcept { return FList.size(); }
    TFrmFloating* operator[](std::size_t index) const { return FList.at(index).get(); }

    // The dialog each new window saves with.
    TImageSaveDialogFactory SaveDialogFactory = NewSystemImageSaveDialog;
    // "Edit" of each new window; the item is hidden while this is empty.
    std::function<void(TFrmFloating& form)> OnEdit;
    // Each window's picture as the window is freed (TFrmFloating::OnFreed).
    std::function<void(std::shared_ptr<TBitmap> picture)> OnPictureFreed;

private:
    struct TDiscard {
        void operator()(TFrmFloating* form) const noexcept { form->Discard(); }
    };
    using TOwned = std::unique_ptr<TFrmFloating, TDiscard>;

    std::function<TFloatingSaveOptions()> FSaveOptions;
    std::vector<TOwned> FList;
};

}  // namespace tovasen
