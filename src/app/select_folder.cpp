#include "app/select_folder.h"

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

}  // namespace

bool SelectFolder(HWND owner, std::wstring& path, const std::wstring& title, const std::wstring& okLabel) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bool chosen = false;
    {
        ComPtr<IFileOpenDialog> dialog;
        if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                       reinterpret_cast<void**>(&dialog)))) {
            FILEOPENDIALOGOPTIONS options = 0;
            dialog->GetOptions(&options);
            dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
            dialog->SetTitle(title.c_str());
            dialog->SetOkButtonLabel(okLabel.c_str());
            dialog->SetFileName(path.c_str());
            ComPtr<IShellItem> start;
            if (SUCCEEDED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem,
                                                      reinterpret_cast<void**>(&start)))) {
                dialog->SetDefaultFolder(start.p);
            }
            ComPtr<IShellItem> result;
            if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
                wchar_t* name = nullptr;
                if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
                    path = name;
                    CoTaskMemFree(name);
                    chosen = true;
                }
            }
        }
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return chosen;
}

}  // namespace tovasen
