#include "output/image_save_dialog.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "base/com.h"

namespace tovasen {
namespace {

class TSystemImageSaveDialog final : public TImageSaveDialog {
public:
    std::optional<TSaveChoice> Execute(HWND owner, const std::wstring& folder) override {
        FCancelled = false;
        const TComApartment apartment;
        TComPtr<IFileSaveDialog> dialog;
        if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                    dialog.PutVoid()))) {
            return std::nullopt;
        }
        const std::optional<TSaveChoice> choice = Run(dialog.Get(), owner, folder);
        return FCancelled ? std::nullopt : choice;
    }

    void Cancel() override {
        FCancelled = true;
        if (FShowing) FShowing->Close(HRESULT_FROM_WIN32(ERROR_CANCELLED));
    }

private:
    std::optional<TSaveChoice> Run(IFileSaveDialog* dialog, HWND owner, const std::wstring& folder) {
        static const COMDLG_FILTERSPEC kTypes[] = {
            {L"PNG", L"*.png"}, {L"JPG", L"*.jpg;*.jpeg"}, {L"GIF", L"*.gif"}, {L"BMP", L"*.bmp"}, {L"WebP", L"*.webp"}};
        dialog->SetDefaultExtension(L"png");
        dialog->SetFileTypes(static_cast<UINT>(std::size(kTypes)), kTypes);
        dialog->SetFileTypeIndex(1);
        // Only real files: a virtual folder (a phone, a library view) has no path to write to,
        // and the process's current folder stays where it was.
        dialog->SetOptions(FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
        TComPtr<IShellItem> start;
        if (!folder.empty() &&
            SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem, start.PutVoid()))) {
            dialog->SetDefaultFolder(start.Get());
        }
        if (FCancelled) return std::nullopt;
        FShowing = dialog;
        const HRESULT shown = dialog->Show(owner);
        FShowing = nullptr;
        TComPtr<IShellItem> result;
        if (FAILED(shown) || FAILED(dialog->GetResult(result.Put()))) return std::nullopt;
        wchar_t* name = nullptr;
        if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return std::nullopt;
        TSaveChoice choice;
        choice.FileName = name;
        CoTaskMemFree(name);
        UINT index = 1;
        if (SUCCEEDED(dialog->GetFileTypeIndex(&index))) choice.TypeIndex = static_cast<int>(index);
        return choice;
    }

    IFileSaveDialog* FShowing = nullptr;
    bool FCancelled = false;
};

}  // namespace

std::unique_ptr<TImageSaveDialog> NewSystemImageSaveDialog() { return std::make_unique<TSystemImageSaveDialog>(); }

}  // namespace tovasen
