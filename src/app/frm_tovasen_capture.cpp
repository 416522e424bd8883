// The capture controller: one request from the hotkey or a WM_COPYDATA command becomes one
// finished capture, or one message saying why not.
#include <windows.h>

#include <mmsystem.h>

#include <cwchar>
#include <utility>

#include "app/frm_tovasen.h"
#include "base/utf_convert.h"
#include "capture/browser_page.h"
#include "capture/frm_iexplorer.h"
#include "i18n/translation.h"
#include "output/clipboard.h"
#include "output/float_list.h"
#include "output/image_writers.h"
#include "ocr/ocr_text_file.h"
#include "select/frm_area.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "ui/application.h"
#include "base/errors.h"

namespace tovasen {
namespace {

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
        if (FOutcome) FOutcome->Error = Translate(L"지원하지 않는 캡쳐영역입니다.");
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
        if (FOutcome) FOutcome->Taken = true;
    } catch (const std::exception& e) {
        ReportFailure(MessageOf(e));
    }
    // A started text recognition keeps the controller busy until its result is written.
    if (!(RtOcr && RtOcr->Busy())) FStatus = 0;
}

void TFrmTovasen::ReportFailure(const std::wstring& error) {
    // Only the fixed part is looked up: the error's own text may hold anything, "\n" included.
    const std::wstring text = Translate(L"캡쳐가 실패하였습니다.") + L"\r\r" + error;
    if (FOutcome) FOutcome->Error = text;
    ShowMessage(text, kErrorFlags);
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

void TFrmTovasen::SaveToTarget(TBitmap& bitmap, const RECT& rect) {
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
        RecognizeText(bitmap);
        return;  // no auto-copy and no sound until the text is written
    case stUpload:
        break;  // after auto-copy and the sound
    case stFloating:
        FloatList->CreateFloatingWindow(bitmap, rect);
        break;
    default:
        throw Exception(L"No save target is selected.");
    }
    if (ChkAutoCopy->Checked && target != stClipboard) CopyBitmapToClipboard(bitmap);
    if (ChkSound3->Checked) PlayCaptureSound();
    if (target == stUpload) CaptureUpload(bitmap);
}

void TFrmTovasen::RecognizeText(const TBitmap& bitmap) {
    if (Languages.empty()) throw ERtOcrError(L"Language not available");
    const int selected = ChkOCR_lang->ItemIndex();
    const TLanguage& language = Languages[selected >= 0 && selected < static_cast<int>(Languages.size())
                                              ? static_cast<std::size_t>(selected) : 0];
    // Three times as large reads better, but never beyond what the engine accepts.
    const TOcrSize size = EnlargedSize(bitmap.Width(), bitmap.Height(), RtOcr->MaxImageDimension());
    // The last picture goes first: with the engine's own bitmap, two enlarged copies at most.
    RtOcr->TakePicture(nullptr);
    RtOcr->TakePicture(ScaleForOcr(bitmap, size.Width, size.Height));
    RtOcr->Recognize(language, nullptr, 0, 0, 0, 0);
}

void TFrmTovasen::BitmapToTXTFileCompleted(const TResult& result) {
    // A script that asked for this capture hears of the text file (or the error) now.
    const HWND replyTo = std::exchange(FTextReplyTo, nullptr);
    TCaptureOutcome outcome;
    outcome.Taken = true;
    TCaptureOutcome* const outer = FOutcome;
    if (replyTo) FOutcome = &outcome;
    try {
        if (result.Status != TStatus::stCompleted) {
            ReportFailure(L"OCR failed.");
        } else {
            WriteRecognizedText(NewFilename(L"txt"), JoinLines(result.Lines));
            if (ChkSound3->Checked) PlayCaptureSound();
        }
    } catch (const std::exception& e) {
        ReportFailure(MessageOf(e));
    }
    FOutcome = outer;
    FStatus = 0;
    if (replyTo) SendCaptureReply(replyTo, outcome);
}

TFloatingSaveOptions TFrmTovasen::FloatingSaveOptions() const {
    return TFloatingSaveOptions{SavePath, QualityOf(*ChkJPEG_qual), QualityOf(*ChkWebP_qual)};
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
