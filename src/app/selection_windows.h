#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "app/capture_request.h"
#include "image/bitmap.h"
#include "ui/form.h"

namespace tovasen {

class TCapture;
class TFrmArea;
class TFrmIExplorer;
class TFrmLine;
class TFrmSize;

// The windows that choose what a capture takes: the region frame (made when region mode is
// first chosen, then kept), the window picker (while window-control mode is chosen), the
// browser of web page mode; and the grabs that read them. They belong to the main window.
class TSelectionWindows {
public:
    // mode: the mode chosen now, which the picker outlines by.
    TSelectionWindows(TForm& owner, std::function<TCaptureMode()> mode);
    ~TSelectionWindows();

    // Closes the windows of other modes and shows this mode's own, if it has one.
    void ShowFor(TCaptureMode mode);
    void CloseAll();

    // The picture of a mode that takes one from the screen (not colour pick); a null bitmap
    // when the user cancelled the selection.
    struct TGrabbed {
        std::shared_ptr<TBitmap> Bitmap;
        RECT Rect{};
        std::wstring Notice;
        HWND Window = nullptr;
    };
    // spare: a picture nothing holds any more, whose memory a screen copy may take (see
    // TCaptureHost::Grab).
    TGrabbed Grab(const TCaptureOptions& options, TCapture& grabber, std::shared_ptr<TBitmap> spare = nullptr);
    // The region frame's hole, asked for every frame of a recording that starts now; null for a
    // full screen.
    std::function<RECT()> RecordedRegion(const TCaptureOptions& options);
    // The recording's face on the region frame.
    void RecordingChanged(bool recording);
    void RecordingTime(const std::wstring& shown);
    void RecordingPaused(bool paused);

    // A mode's window closed by the user: its mode ends (the main window goes back to full screen).
    std::function<void()> OnModeAbandoned;
    // The region frame was closed while recording it.
    std::function<void()> OnStopRecording;

    TFrmSize* FrmSize = nullptr;  // made with the frame
    TFrmArea* FrmArea = nullptr;
    TFrmLine* FrmLine = nullptr;
    TFrmIExplorer* Browser = nullptr;

private:
    // The region frame, made when first needed and then kept.
    TFrmArea& Frame();

    TForm& FOwner;
    std::function<TCaptureMode()> FMode;
};

}  // namespace tovasen
