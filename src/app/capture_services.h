#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/capture_controller.h"
#include "app/selection_windows.h"
#include "app/settings_model.h"
#include "capture/capture.h"
#include "output/float_list.h"
#include "output/upload.h"
#include "service_addresses.h"

namespace tovasen {

// What of a capture the main window shows: the colour card and the recording's display.
class TCaptureView {
public:
    virtual ~TCaptureView() = default;
    // Colour pick: the colour the card shows now goes to its list, and is returned.
    virtual std::wstring PickColour() = 0;
    virtual void RecordingChanged(bool recording) = 0;
    virtual void RecordingTime(const std::wstring& shown) = 0;
    virtual void RecordingPaused(bool paused) = 0;
};

// The program's capture sources and outputs as the controller reaches them: the grabber, the
// selection windows, the clipboard, the printer, the floating windows, the editor, the upload
// service, the encoder, and the file names. The choices come from the settings model.
class TCaptureServices : public TCaptureHost {
public:
    TCaptureServices(TForm& mainWindow, TSettingsModel& settings, TSelectionWindows& selection, TFloatList& floats,
                     TCaptureView& view);

    // The image-hosting service, over HTTPS; tests point it at a local TLS server.
    UploadEndpoint UploadService{kUploadHost, 443};
    // Opens an address a server sent, once it passed the web-address gate: the shell unless set
    // (tests record the address instead of starting a browser).
    std::function<void(const std::wstring& address)> OnOpenAddress;
    bool OpenServerAddress(const std::wstring& address);

    TCaptureOptions CaptureOptions() override { return FSettings.Snapshot(); }
    TGrab Grab(const TCaptureOptions& options, std::shared_ptr<TBitmap> spare) override;
    void PickColour() override;
    std::wstring NewFilename(const TCaptureOptions& options, const std::wstring& ext) override;
    void CopyToClipboard(TBitmap& bitmap) override;
    void Print(TBitmap& bitmap) override;
    void Float(std::shared_ptr<TBitmap> picture, const RECT& rect) override;
    void PlayCaptureSound() override;
    void Edit(TBitmap& picture, std::function<void(TEdited& edited)> done, std::function<void()> cancelled) override;
    std::function<std::wstring(std::vector<std::uint8_t> png, const UploadProgress& progress)> Uploader() override;
    bool OpenAddress(const std::wstring& address) override { return OpenServerAddress(address); }
    std::wstring EncoderPath() override;
    TFuncOfRect RecordedRegion(const TCaptureOptions& options) override { return FSelection.RecordedRegion(options); }
    TCapture* Grabber() override { return &FGrabber; }
    void RecordingChanged(bool recording) override;
    void RecordingTime(const std::wstring& shown) override;
    void RecordingPaused(bool paused) override;
    std::wstring GuardProgram() override;

private:
    TForm& FMainWindow;
    TSettingsModel& FSettings;
    TSelectionWindows& FSelection;
    TFloatList& FFloats;
    TCaptureView& FView;
    TCapture FGrabber;
};

}  // namespace tovasen
