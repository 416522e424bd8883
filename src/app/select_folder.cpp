#include "app/select_folder.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "base/com.h"

namespace tovasen {

bool SelectFolder(HWND owner, std::wstring& path, const std::wstring& title, const std::wstring& okLabel) {
    const TComApartment apartment;
    TComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.PutVoid()))) {
        return false;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(title.c_str());
    dialog->SetOkButtonLabel(okLabel.c_str());
    dialog->SetFileName(path.c_str());
    TComPtr<IShellItem> start;
    if (SUCCEEDED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem, start.PutVoid()))) {
        dialog->SetDefaultFolder(start.Get());
    }
    TComPtr<IShellItem> result;
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResult(result.Put()))) return false;
    wchar_t* name = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &name))) return false;
    path = name;
    CoTaskMemFree(name);
    return true;
}

}  // namespace tovasen
