// The capture controller: one request from the hotkey or a WM_COPYDATA command becomes one
// finished capture, or one message saying why not.
#include <windows.h>

#include <mmsystem.h>

#include <cwchar>

#include "app/frm_tovasen.h"
#include "base/utf_convert.h"
#include "capture/browser_page.h"
#include "capture/frm_iexplorer.h"
#include "i18n/translation.h"
#include "output/clipboard.h"
#include "output/image_writers.h"
#include "select/frm_area.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "ui/application.h"
#include "base/errors.h"

namespace tovasen {
namespace {

[[noreturn]] void NotAvailable(const wchar_t* what) {
    throw Exception(std::wstring(what) + L" is not available in this version of Tovasen.");
}

// The quality list's text as a number; 90 when it is not one (or nothing is selected).
int QualityOf(const TComboBox& box) {
    const std::wstring text = box.Text();
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 10);
    return (text.empty() || *end != L'\0') ? 90 : static_cast<int>(value);
}

std::wstring MessageOf(const std::exception& e) {
    const auto* ours = dynamic_cast<const Exception*>(&e);
    return ours ? ours->Message() : Utf8ToWide(e.what());
}

}  // namespace

void TFrmTovasen::Start() {
    // A running recording is stopped whatever the target has become meanwhile.
    if (IsRecording()) {
        RecordStop();
        return;
    }
    const int mode = CaptureMode();
    const int target = SaveTarget();
    if (mode != cmColor &&
        ((target == stMP4 && mode >= cmDrag) || (target == stFloating && mode == cmWebPage))) {
        ShowMessage(Translate(L"지원하지 않는 캡쳐영역입니다."), kNoticeFlags);
        return;
    }
    if (target == stMP4) {
        try {
            if (FStatus == 0) RecordStart();
            else RecordStop();
        } catch (const std::exception& e) {
            ReportFailure(MessageOf(e));
        }
        return;
    }
    if (FStatus == 0) CaptureStart();
}

void TFrmTovasen::CaptureStart() {
    FStatus = 1;
    const int mode = CaptureMode();
    if (ChkSound2->Checked && mode != cmDrag) PlayCaptureSound();
    // Getting the picture is guarded as well as its output: an error of the grabber must not
    // leave the controller busy for good.
    try {
        RECT rect{};
        std::unique_ptr<TBitmap> bitmap;
        if (mode == cmColor) {
            CaptureColor();
        } else if (mode == cmDrag) {
            // The overlay lives for this one selection; nothing of it outlives this scope.
            {
                TFrmDrag overlay(nullptr);
                bitmap = overlay.Capture(rect);
            }
            if (!bitmap) {  // cancelled: silent, and the controller is idle again
                FStatus = 0;
                return;
            }
            // In drag mode the sound "before" the capture marks the end of the selection.
            if (ChkSound2->Checked) PlayCaptureSound();
        } else {
            bitmap = Capture(rect);
        }
        if (bitmap) SaveToTarget(*bitmap, rect);
    } catch (const std::exception& e) {
        ReportFailure(MessageOf(e));
    }
    FStatus = 0;
}

void TFrmTovasen::ReportFailure(const std::wstring& error) {
    // Only the fixed part is looked up: the error's own text may hold anything, "\n" included.
    ShowMessage(Translate(L"캡쳐가 실패하였습니다.") + L"\r\r" + error, kErrorFlags);
}

std::unique_ptr<TBitmap> TFrmTovasen::Capture(RECT& rect) {
    auto bitmap = std::make_unique<TBitmap>();
    FCapture->ShowCursor = ChkMouse->Checked;
    switch (CaptureMode()) {
    case cmFullScreen:
        FCapture->Capture(*bitmap, nullptr, rect);
        break;
    case cmActiveWindow:
    case cmWindowControl: {
        // The same rule the picker outlines by; a null window would mean the whole monitor.
        HWND target = PickTarget(CaptureMode(), FrmLine ? FrmLine->Handle() : nullptr, Handle());
        if (!target) throw Exception(L"There is no window to capture.");
        FCapture->Capture(*bitmap, target, rect);
        break;
    }
    case cmRegion: {
        if (!FrmArea) throw Exception(L"The region frame does not exist.");
        // Exactly the hole of the frame: none of the frame's own pixels lies inside it.
        rect = FrmArea->GetRect();
        FCapture->Capture(*bitmap, rect);
        break;
    }
    case cmWebPage: {
        if (!FrmIExplorer) throw EWebCaptureError();  // closed since the mode was chosen
        TBrowserPage page(*FrmIExplorer);
        CaptureWebPage(*bitmap, page);
        break;
    }
    default:
        throw Exception(L"No capture mode is selected.");
    }
    return bitmap;
}

void TFrmTovasen::SaveToTarget(TBitmap& bitmap, const RECT&) {
    const int target = SaveTarget();
    switch (target) {
    case stPNG:
        SavePNG(bitmap, NewFilename(L"png"));
        break;
    case stJPG:
        SaveJPG(bitmap, NewFilename(L"jpg"), static_cast<std::uint8_t>(QualityOf(*ChkJPEG_qual)));
        break;
    case stGIF:
        SaveGIF(bitmap, NewFilename(L"gif"));
        break;
    case stBMP:
        SaveBMP(bitmap, NewFilename(L"bmp"));
        break;
    case stWebP:
        SaveWebP(bitmap, NewFilename(L"webp"), QualityOf(*ChkWebP_qual));
        break;
    case stClipboard:
        CopyBitmapToClipboard(bitmap);
        break;
    case stPrinter:
        PrintBitmap(bitmap, Dpi());
        break;
    case stTXT:
        NotAvailable(L"Text recognition");
    case stUpload:
        break;  // after auto-copy and the sound
    case stFloating:
        NotAvailable(L"The floating window");
    default:
        throw Exception(L"No save target is selected.");
    }
    if (ChkAutoCopy->Checked && target != stClipboard) CopyBitmapToClipboard(bitmap);
    if (ChkSound3->Checked) PlayCaptureSound();
    if (target == stUpload) CaptureUpload(bitmap);
}

void TFrmTovasen::PlayCaptureSound() {
    PlaySoundW(L"sound", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC);
}

void TFrmTovasen::CloseSelectionWindows() {
    // Closing the frame stops a recording of it first (its OnStopRecording), then hides it.
    if (FrmArea && FrmArea->Visible()) FrmArea->Close();
    if (FrmLine) {
        FrmLine->Timer1->SetEnabled(false);
        FrmLine->Release();  // hides now, freed once this handler has returned
        FrmLine = nullptr;
    }
    if (FrmIExplorer) FrmIExplorer->Dismiss();
}

void TFrmTovasen::ShowSelectionWindow(int mode) {
    if (mode == cmRegion) {
        if (!FrmArea) {
            FrmArea = new TFrmArea(this, FrmSize);
            FrmArea->OnCloseButton = [this] {
                ChkArea->SetItemIndex(cmFullScreen);
                SaveConfig(L"area", 0);
            };
            FrmArea->OnStopRecording = [this] { RecordStop(); };
        }
        FrmArea->Show();
    }
    if (mode == cmWindowControl) {
        if (!FrmLine) FrmLine = new TFrmLine(this, [this] { return CaptureMode(); }, Handle());
        FrmLine->ShowPicker();
    }
    if (mode == cmWebPage) {
        if (!FrmIExplorer) {
            auto* window = new TFrmIExplorer(this);
            // Closed by the user: web page mode ends with it.
            window->OnUserClose = [this] {
                ChkArea->SetItemIndex(cmFullScreen);
                SaveConfig(L"area", static_cast<int>(cmFullScreen));
            };
        }
        FrmIExplorer->Show();
    }
}

}  // namespace tovasen
