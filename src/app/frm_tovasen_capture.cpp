// What the capture controller asks of the main window: the choices of its lists and menus, the
// picture from the grabber or a selection window, and the places a picture can go.
#include <windows.h>

#include <mmsystem.h>

#include <cwchar>
#include <utility>

#include "app/frm_tovasen.h"
#include "base/errors.h"
#include "base/module_path.h"
#include "editor/editor_entry.h"
#include "output/clipboard.h"
#include "output/float_list.h"
#include "scroll/scroll_capture.h"
#include "select/frm_area.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "ui/application.h"
#include "web/browser_page.h"
#include "web/frm_iexplorer.h"

namespace tovasen {
namespace {

// The quality list's text as a number; 90 when it is not one (or nothing is selected).
int QualityOf(const TComboBox& box) {
    const std::wstring text = box.Text();
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 10);
    return (text.empty() || *end != L'\0') ? 90 : static_cast<int>(value);
}

int CheckedLimitMinutes(const std::array<TMenuItem*, 5>& items) {
    for (TMenuItem* item : items) {
        // The minutes are the item's name after "ChkRecLimit".
        if (item && item->Checked) return std::stoi(item->Name().substr(11));
    }
    return 0;
}

}  // namespace

void TFrmTovasen::Start() { Controller->Run(std::make_shared<TUserReporter>()); }

TCaptureOptions TFrmTovasen::CaptureOptions() {
    TCaptureOptions options;
    options.Mode = CaptureMode();
    options.Target = SaveTarget();
    options.SoundBefore = ChkSound2->Checked;
    options.SoundAfter = ChkSound3->Checked;
    options.AutoCopy = ChkAutoCopy->Checked;
    options.EditFirst = ChkEditFirst->Checked;
    options.JpegQuality = QualityOf(*ChkJPEG_qual);
    options.WebpQuality = QualityOf(*ChkWebP_qual);
    if (!Languages.empty()) {
        const int selected = ChkOCR_lang->ItemIndex();
        // A stored index beyond the list reads as the first language.
        const bool inList = selected >= 0 && selected < static_cast<int>(Languages.size());
        options.OcrLanguage = Languages[inList ? static_cast<std::size_t>(selected) : 0];
    }
    options.Recording.Audio = ChkAudio->Checked;
    options.Recording.Mouse = ChkMouse_Rec->Checked;
    options.Recording.Logging = ChkLog->Checked;
    options.Recording.LimitMinutes = CheckedLimitMinutes(ChkRecLimits);
    options.Recording.LogFolder = SavePath;
    return options;
}

TGrab TFrmTovasen::Grab(const TCaptureOptions& options) {
    TGrab grab;
    RECT& rect = grab.Rect;
    if (options.Mode == cmDrag) {
        // The overlay lives for this one selection; nothing of it outlives this call.
        TFrmDrag overlay(nullptr);
        grab.Bitmap = overlay.Capture(rect);
        return grab;
    }
    if (options.Mode == cmScrolling) {
        POINT pointer{};
        GetCursorPos(&pointer);
        // Esc keeps what was taken: the picture goes on like any other.
        ScrollCaptureResult scrolled = CaptureScrollingWindow(pointer);
        grab.Bitmap = std::move(scrolled.Bitmap);
        grab.Rect = scrolled.Rect;
        grab.Notice = std::move(scrolled.Notice);
        return grab;
    }
    auto bitmap = std::make_unique<TBitmap>();
    FCapture->ShowCursor = ChkMouse->Checked;
    switch (options.Mode) {
    case cmFullScreen:
        FCapture->Capture(*bitmap, nullptr, rect);
        break;
    case cmActiveWindow:
    case cmWindowControl: {
        // The same rule the picker outlines by; a null window would mean the whole monitor.
        HWND target = PickTarget(options.Mode, FrmLine ? FrmLine->Handle() : nullptr, Handle());
        if (!target) throw Exception(L"There is no window to capture.");
        FCapture->Capture(*bitmap, target, rect);
        grab.Window = target;
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
    grab.Bitmap = std::move(bitmap);
    return grab;
}

void TFrmTovasen::PickColour() {
    const std::wstring text = LblColor->Caption();
    LstColor->Insert(0, text);
    CopyTextToClipboard(text);
}

void TFrmTovasen::CopyToClipboard(TBitmap& bitmap) { CopyBitmapToClipboard(bitmap); }

void TFrmTovasen::Print(TBitmap& bitmap) { PrintBitmap(bitmap, Dpi()); }

void TFrmTovasen::Float(TBitmap& bitmap, const RECT& rect) { FloatList->CreateFloatingWindow(bitmap, rect); }

TFloatingSaveOptions TFrmTovasen::FloatingSaveOptions() const {
    return TFloatingSaveOptions{SavePath, QualityOf(*ChkJPEG_qual), QualityOf(*ChkWebP_qual)};
}

void TFrmTovasen::Edit(TBitmap& picture, std::function<void(TEdited& edited)> done, std::function<void()> cancelled) {
    EditForOutput(
        picture,
        [done = std::move(done)](TEditedPicture& edited) {
            TEdited handed{edited.Flat(), [&edited](const std::wstring& path) { edited.SaveEditablePng(path); }};
            done(handed);
        },
        std::move(cancelled), this);
}

void TFrmTovasen::PlayCaptureSound() { PlaySoundW(L"sound", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC); }

std::wstring TFrmTovasen::EncoderPath() {
    const std::wstring encoder = ExeFolder() + L"ffmpeg.exe";
    return GetFileAttributesW(encoder.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : encoder;
}

TFuncOfRect TFrmTovasen::RecordedRegion(const TCaptureOptions& options) {
    if (options.Mode != cmRegion) return nullptr;
    if (!FrmArea) throw Exception(L"The region frame does not exist.");
    TFrmArea* frame = FrmArea;
    return [frame] { return frame->GetRect(); };
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
            // A recording of the frame ends with it, even one still being prepared.
            FrmArea->OnStopRecording = [this] {
                if (IsRecording()) Controller->StopRecording(std::make_shared<TUserReporter>());
            };
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
