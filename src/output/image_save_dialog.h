#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tovasen {

// What the user chose in a save dialog: the file name exactly as the dialog gives it and the
// file type by its position in the type list (1 for the first).
struct TSaveChoice {
    std::wstring FileName;
    int TypeIndex = 1;
};

// The file types a picture can be saved as, in the order of the dialog's type list.
enum TImageFileType : int { iftPNG = 1, iftJPG, iftGIF, iftBMP, iftWebP };

// A modal "save picture" dialog. Execute shows it owned by owner and returns the choice, or
// nothing when the user cancelled (or picked something that is not a file-system path).
// Cancel, called while Execute runs (from a handler inside its message loop), makes Execute
// return nothing as soon as the dialog has closed.
class TImageSaveDialog {
public:
    virtual ~TImageSaveDialog() = default;
    virtual std::optional<TSaveChoice> Execute(HWND owner, const std::wstring& folder) = 0;
    virtual void Cancel() = 0;
};

using TImageSaveDialogFactory = std::function<std::unique_ptr<TImageSaveDialog>()>;

// The system's item-based save dialog with the five picture types, "png" as the default
// extension, asking before overwriting, and only existing file-system folders.
std::unique_ptr<TImageSaveDialog> NewSystemImageSaveDialog();

}  // namespace tovasen
