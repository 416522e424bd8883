#include "output/frm_floating.h"

#include <dwmapi.h>

#include <algorithm>
#include <cstring>

#include "base/errors.h"
#include "base/os_version.h"
#include "output/image_writers.h"
#include "ui/application.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

constexpr UINT kDropShadowClassStyle = 0x00020000;  // CS_DROPSHADOW
constexpr WPARAM kMoveByCaption = SC_MOVE | HTCAPTION;

// An edited picture as the window's own: same format and size, pixels copied in one go when they
// are rows of a DIB section, through GDI for a device bitmap.
std::unique_ptr<TBitmap> CopyOf(TBitmap& picture) {
    auto copy = std::make_unique<TBitmap>();
    copy->SetPixelFormat(picture.PixelFormat());
    copy->SetSize(picture.Width(), picture.Height());
    if (picture.Empty()) return copy;
    if (picture.PixelFormat() == TPixelFormat::pfDevice) {
        if (!BitBlt(copy->Canvas().Handle(), 0, 0, picture.Width(), picture.Height(), picture.Canvas().Handle(), 0,
                    0, SRCCOPY)) {
            RaiseLastOSError(L"BitBlt");
        }
    } else {
        std::memcpy(copy->ScanLine(0), picture.ScanLine(0),
                    static_cast<std::size_t>(picture.Stride()) * static_cast<std::size_t>(picture.Height()));
    }
    return copy;
}

std::uint8_t JpegQuality(int quality) { return static_cast<std::uint8_t>(std::clamp(quality, 1, 100)); }

}  // namespace

void SaveAsImageType(TBitmap& picture, const TSaveChoice& choice, const TFloatingSaveOptions& options) {
    switch (choice.TypeIndex) {
    case iftPNG:
        SavePNG(picture, choice.FileName);
        break;
    case iftJPG:
        SaveJPG(picture, choice.FileName, JpegQuality(options.JpegQuality));
        break;
    case iftGIF:
        SaveGIF(picture, choice.FileName);
        break;
    case iftBMP:
        SaveBMP(picture, choice.FileName);
        break;
    case iftWebP:
        SaveWebP(picture, choice.FileName, options.WebPQuality);
        break;
    default:
        throw Exception(L"Unknown picture file type " + std::to_wstring(choice.TypeIndex) + L".");
    }
}

class TFrmFloating::TNested {
public:
    explicit TNested(TFrmFloating& form) : FForm(form) { ++FForm.FNested; }
    TNested(const TNested&) = delete;
    TNested& operator=(const TNested&) = delete;
    // The last thing the handler does: the form may be freed here.
    ~TNested() {
        if (--FForm.FNested == 0 && FForm.FDiscarded) FForm.Release();
    }

private:
    TFrmFloating& FForm;
};

TFrmFloating::TFrmFloating(std::shared_ptr<TBitmap> picture, const RECT& rect)
    : TForm(nullptr, L"FrmFloating"), FImage(std::move(picture)) {
    if (!FImage) throw Exception(L"A floating window needs a picture.");
    const bool modern = WindowsMajorVersion() >= 6;
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    // No owner: it stays on screen while the main window is hidden; a tool window has no
    // taskbar button and no Alt+Tab entry.
    params.Style = modern ? (WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) : WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.ClassStyle = modern ? CS_DBLCLKS : (CS_DBLCLKS | kDropShadowClassStyle);
    // Placed at creation, so it never shows at another size or place first.
    params.X = rect.left;
    params.Y = rect.top;
    params.Width = rect.right - rect.left;
    params.Height = rect.bottom - rect.top;
    CreateHandle(params);
    SetCaption(L"Tovasen");
    if (modern) ApplyWindowShadow();

    // The menu stays Korean in every language, as it always has.
    Popup = new TPopupMenu(this, L"Popup");
    BtnSave = new TMenuItem(&Popup->Items(), L"BtnSave", L"이미지 저장", [this](TMenuItem&) { BtnSaveClick(); });
    BtnEdit = new TMenuItem(&Popup->Items(), L"BtnEdit", L"편집", [this](TMenuItem&) { BtnEditClick(); });
    DivPop1 = new TMenuItem(&Popup->Items(), L"DivPop1", L"-");
    BtnDelete = new TMenuItem(&Popup->Items(), L"BtnDelete", L"플로팅 삭제", [this](TMenuItem&) { BtnDeleteClick(); });
    BtnDeleteAll = new TMenuItem(&Popup->Items(), L"BtnDeleteAll", L"모든 플로팅 삭제",
                                 [this](TMenuItem&) { BtnDeleteAllClick(); });
}

TFrmFloating::~TFrmFloating() {
    if (!OnFreed) return;
    try {
        OnFreed(std::move(FImage));
    } catch (...) {
        // Only the chance to reuse its memory is lost.
    }
}

void TFrmFloating::ShowFloating() { Show(); }

bool TFrmFloating::ApplyWindowShadow() {
    if (WindowsMajorVersion() < 6) return false;
    const DWORD policy = DWMNCRP_ENABLED;
    if (FAILED(DwmSetWindowAttribute(Handle(), DWMWA_NCRENDERING_POLICY, &policy, sizeof(policy)))) return false;
    BOOL composition = FALSE;
    if (FAILED(DwmIsCompositionEnabled(&composition)) || !composition) return false;
    const MARGINS margins{1, 1, 1, 1};
    return SUCCEEDED(DwmExtendFrameIntoClientArea(Handle(), &margins));
}

void TFrmFloating::DpiChanged(int, const RECT&) {}

void TFrmFloating::Discard() {
    if (FDiscarded) return;
    FDiscarded = true;
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
    if (FNested == 0) {
        Release();
        return;
    }
    // A loop of our own runs further up the stack: end it; the outermost handler frees us.
    if (FDialog) FDialog->Cancel();
    if (HandleAllocated()) SendMessageW(Handle(), WM_CANCELMODE, 0, 0);
}

void TFrmFloating::BtnDeleteClick() {
    if (FDiscarded || !OnDelete) return;
    const auto onDelete = OnDelete;  // the handler may discard us and with us this member
    onDelete(this);
}

void TFrmFloating::BtnDeleteAllClick() {
    if (FDiscarded || !OnDelete) return;
    const auto onDelete = OnDelete;
    onDelete(nullptr);
}

void TFrmFloating::BtnEditClick() {
    if (FDiscarded || !OnEdit) return;
    const auto onEdit = OnEdit;
    onEdit(*this);
}

void TFrmFloating::ReplaceImage(TBitmap& picture) {
    FImage = CopyOf(picture);
    SetWindowPos(Handle(), nullptr, 0, 0, FImage->Width(), FImage->Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TFrmFloating::BtnSaveClick() {
    const TNested nested(*this);
    if (FDiscarded) return;
    const TFloatingSaveOptions options = SaveOptions ? SaveOptions() : TFloatingSaveOptions{};
    std::unique_ptr<TImageSaveDialog> dialog = SaveDialogFactory ? SaveDialogFactory() : nullptr;
    if (!dialog) throw Exception(L"No save dialog is available.");
    FDialog = dialog.get();
    std::optional<TSaveChoice> choice;
    try {
        choice = dialog->Execute(Handle(), options.Folder);
    } catch (...) {
        FDialog = nullptr;
        throw;
    }
    FDialog = nullptr;
    // Deleted while the dialog was open: the user threw the picture away.
    if (!choice || FDiscarded) return;
    SaveAsImageType(*FImage, *choice, options);
}

void TFrmFloating::ImageMouseDown() {
    const TNested nested(*this);
    // The system's own move loop follows the mouse while the button stays down; it starts
    // from the point where the button went down.
    ReleaseCapture();
    SendMessageW(Handle(), WM_SYSCOMMAND, kMoveByCaption, 0);
}

void TFrmFloating::PopupMenuAt(POINT screen) {
    const TNested nested(*this);
    if (FDiscarded) return;
    BtnEdit->Visible = static_cast<bool>(OnEdit);
    Popup->Popup(screen.x, screen.y, Handle());
}

void TFrmFloating::Paint() {
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    if (dc) {
        BitBlt(dc, 0, 0, FImage->Width(), FImage->Height(), FImage->Canvas().Handle(), 0, 0, SRCCOPY);
    }
}

LRESULT TFrmFloating::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the picture covers the whole client area
    case WM_CLOSE:
        // Alt+F4 or a close from outside: the window goes as "delete" makes it go, with its
        // picture, instead of only hiding and keeping it for the rest of the session.
        if (!OnDelete) return TForm::WndProc(msg, wParam, lParam);
        BtnDeleteClick();
        return 0;
    case WM_LBUTTONDOWN:
        ImageMouseDown();
        return 0;
    case WM_CONTEXTMENU: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) {  // from the keyboard: the window's top-left corner
            at = POINT{0, 0};
            ClientToScreen(Handle(), &at);
        }
        PopupMenuAt(at);
        return 0;
    }
    case WM_DWMCOMPOSITIONCHANGED:
    case WM_DWMNCRENDERINGCHANGED:
        if (ApplyWindowShadow()) return 0;
        return TForm::WndProc(msg, wParam, lParam);
    default:
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
