#include "output/image_save_dialog.h"

#include <shlobj.h>
#include <shobjidl.h>

namespace tovasen {
namespace {

template <class T>
struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

class TSystemImageSaveDialog final : public TImageSaveDialog {
public:
    std::optional<TSaveChoice> Execute(HWND owner, const std::wstring& folder) override {
        FCancelled = false;
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        std::optional<TSaveChoice> choice;
        {
            ComPtr<IFileSaveDialog> dialog;
            if (SUCCEEDED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                           reinterpret_cast<void**>(&dialog)))) {
                choice = Run(dialog.p, owner, folder);
            }
        }
        if (SUCCEEDED(init)) CoUninitialize();
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
        ComPtr<IShellItem> start;
        if (!folder.empty() && SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem,
                                                                     reinterpret_cast<void**>(&start)))) {
            dialog->SetDefaultFolder(start.p);
        }
        if (FCancelled) return std::nullopt;
        FShowing = dialog;
        const HRESULT shown = dialog->Show(owner);
        FShowing = nullptr;
        ComPtr<IShellItem> result;
        if (FAILED(shown) || FAILED(dialog->GetResult(&result))) return std::nullopt;
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
