#include "output/float_list.h"

namespace tovasen {

TFloatList::TFloatList(std::function<TFloatingSaveOptions()> saveOptions) : FSaveOptions(std::move(saveOptions)) {}

TFloatList::~TFloatList() { FloatDelete(nullptr); }

TFrmFloating& TFloatList::CreateFloatingWindow(std::shared_ptr<TBitmap> picture, const RECT& rect) {
    FList.reserve(FList.size() + 1);  // the append below cannot fail once the window is up
    TOwned form(new TFrmFloating(std::move(picture), rect));
    form->OnDelete = [this](TFrmFloating* which) { FloatDelete(which); };
    form->SaveOptions = [this] { return FSaveOptions ? FSaveOptions() : TFloatingSaveOptions{}; };
    form->SaveDialogFactory = SaveDialogFactory;
    form->OnEdit = OnEdit;
    form->OnFreed = OnPictureFreed;
    form->ShowFloating();
    FList.push_back(std::move(form));
    return *FList.back();
}

void TFloatList::FloatDelete(TFrmFloating* form) {
    for (std::size_t i = FList.size(); i-- > 0;) {
        if (form && FList[i].get() != form) continue;
        TOwned gone = std::move(FList[i]);
        FList.erase(FList.begin() + static_cast<std::ptrdiff_t>(i));
        // gone discards the window here: hidden now, freed once its handlers have returned.
    }
}

}  // namespace tovasen
