#include "app/selection_windows.h"

#include <utility>

#include "base/errors.h"
#include "base/settings_registry.h"
#include "capture/capture.h"
#include "scroll/scroll_capture.h"
#include "select/frm_area.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "select/frm_size.h"
#include "web/browser_page.h"
#include "web/frm_iexplorer.h"
#include "web/web_capture.h"

namespace tovasen {

TSelectionWindows::TSelectionWindows(TForm& owner, std::function<TCaptureMode()> mode)
    : FOwner(owner), FMode(std::move(mode)) {}

TSelectionWindows::~TSelectionWindows() {
    // The windows belong to the owner and go with it; nothing of theirs may call back here.
    if (FrmArea) FrmArea->OnCloseButton = FrmArea->OnStopRecording = nullptr;
    if (Browser) Browser->OnDismissed = Browser->OnUserClose = nullptr;
}

TFrmArea& TSelectionWindows::Frame() {
    if (!FrmArea) {
        // The size dialog serves only the frame: made with it, not at every start.
        if (!FrmSize) FrmSize = new TFrmSize(&FOwner);
        FrmArea = new TFrmArea(&FOwner, FrmSize);
        FrmArea->OnCloseButton = [this] {
            if (OnModeAbandoned) OnModeAbandoned();
        };
        // A recording of the frame ends with it, even one still being prepared.
        FrmArea->OnStopRecording = [this] {
            if (OnStopRecording) OnStopRecording();
        };
    }
    return *FrmArea;
}

void TSelectionWindows::CloseAll() {
    // Closing the frame stops a recording of it first (its OnStopRecording), then hides it.
    if (FrmArea && FrmArea->Visible()) FrmArea->Close();
    if (FrmLine) {
        FrmLine->Timer1->SetEnabled(false);
        FrmLine->Release();  // hides now, freed once this handler has returned
        FrmLine = nullptr;
    }
    if (Browser) Browser->Dismiss();
}

void TSelectionWindows::ShowFor(TCaptureMode mode) {
    CloseAll();
    if (mode == TCaptureMode::Region) {
        Frame().Show();
    } else if (mode == TCaptureMode::WindowControl) {
        FrmLine = new TFrmLine(&FOwner, FMode, FOwner.Handle());
        FrmLine->ShowPicker();
    } else if (mode == TCaptureMode::WebPage) {
        Browser = new TFrmIExplorer(&FOwner);
        Browser->OnDismissed = [this] { Browser = nullptr; };
        // Closed by the user: web page mode ends with it.
        Browser->OnUserClose = [this] {
            if (OnModeAbandoned) OnModeAbandoned();
        };
        Browser->Show();
    }
}

TSelectionWindows::TGrabbed TSelectionWindows::Grab(const TCaptureOptions& options, TCapture& grabber,
                                                    std::shared_ptr<TBitmap> spare) {
    TGrabbed grab;
    RECT& rect = grab.Rect;
    if (options.Mode == TCaptureMode::Drag) {
        // The overlay lives for this one selection; nothing of it outlives this call.
        TFrmDrag overlay(nullptr);
        grab.Bitmap = overlay.Capture(rect);
        return grab;
    }
    if (options.Mode == TCaptureMode::Scrolling) {
        POINT pointer{};
        GetCursorPos(&pointer);
        // Esc keeps what was taken: the picture goes on like any other.
        ScrollCaptureResult scrolled = CaptureScrollingWindow(pointer);
        grab.Bitmap = std::move(scrolled.Bitmap);
        grab.Rect = scrolled.Rect;
        grab.Notice = std::move(scrolled.Notice);
        return grab;
    }
    // A screen copy writes every pixel (see TCapture), so it may take the spare's memory: the
    // grabber keeps it when the size is the same and replaces it otherwise. A web page is drawn
    // by the page, so it starts from new memory.
    const bool screenCopy = options.Mode != TCaptureMode::WebPage;
    std::shared_ptr<TBitmap> bitmap = spare && screenCopy ? std::move(spare) : std::make_shared<TBitmap>();
    grabber.ShowCursor = options.ShowCursor;
    switch (options.Mode) {
    case TCaptureMode::FullScreen:
        grabber.Capture(*bitmap, nullptr, rect);
        break;
    case TCaptureMode::ActiveWindow:
    case TCaptureMode::WindowControl: {
        // The same rule the picker outlines by; a null window would mean the whole monitor.
        HWND target = PickTarget(options.Mode, FrmLine ? FrmLine->Handle() : nullptr, FOwner.Handle());
        if (!target) throw Exception(L"There is no window to capture.");
        grabber.Capture(*bitmap, target, rect);
        grab.Window = target;
        break;
    }
    case TCaptureMode::Region: {
        // Asked for while the frame was never opened (a mode's key, a script): the hole it would
        // show at its stored place, through a frame that is neither shown nor stores anything.
        std::unique_ptr<TFrmArea> unopened;
        if (!FrmArea) {
            unopened = std::make_unique<TFrmArea>(nullptr, nullptr, ReadRegistrySettings(ScreenSettingsEnvironment()),
                                                  TSettingsWriter());
        }
        // Exactly the hole of the frame: none of the frame's own pixels lies inside it.
        rect = (FrmArea ? FrmArea : unopened.get())->GetRect();
        grabber.Capture(*bitmap, rect);
        break;
    }
    case TCaptureMode::WebPage: {
        if (!Browser) throw EWebCaptureError();  // closed since the mode was chosen
        TBrowserPage page(*Browser);
        CaptureWebPage(*bitmap, page);
        break;
    }
    default:
        throw Exception(L"No capture mode is selected.");
    }
    grab.Bitmap = std::move(bitmap);
    return grab;
}

std::function<RECT()> TSelectionWindows::RecordedRegion(const TCaptureOptions& options) {
    if (options.Mode != TCaptureMode::Region) return nullptr;
    // A region recorded from a mode's key or a script shows its frame, and the frame's stop, too.
    TFrmArea* frame = &Frame();
    if (!frame->Visible()) frame->Show();
    frame->SetRecording(true);
    return [frame] { return frame->GetRect(); };
}

void TSelectionWindows::RecordingChanged(bool recording) {
    if (!FrmArea) return;
    FrmArea->SetRecording(recording);
    if (!recording) FrmArea->SetPaused(false);
}

void TSelectionWindows::RecordingTime(const std::wstring& shown) {
    if (FrmArea) FrmArea->SetRecTime(shown);
}

void TSelectionWindows::RecordingPaused(bool paused) {
    if (FrmArea) FrmArea->SetPaused(paused);
}

}  // namespace tovasen
