#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/capture_outcome.h"
#include "app/outcome_reporter.h"
#include "ocr/ocr_types.h"
#include "output/upload.h"
#include "record/recorder.h"
#include "ui/bitmap.h"
#include "ui/component.h"

namespace tovasen {

class TRtOcr;
class TProgressForm;
class TTimer;

// Capture modes and save targets: the item indices of ChkArea and ChkSaveTo.
enum CaptureModeIndex : int { cmFullScreen, cmRegion, cmDrag, cmActiveWindow, cmWindowControl, cmWebPage, cmColor };
enum SaveTargetIndex : int { stPNG, stJPG, stGIF, stBMP, stWebP, stMP4, stTXT, stClipboard, stUpload, stPrinter, stFloating };

// The recording options of the main window's menu.
struct TRecordOptions {
    bool Audio = false;
    bool Mouse = true;
    bool Logging = false;
    int LimitMinutes = 0;
    std::wstring LogFolder;
};

// The choices one request is carried out with, read from the main window when it starts.
struct TCaptureOptions {
    int Mode = cmFullScreen;
    int Target = stPNG;
    bool SoundBefore = false;
    bool SoundAfter = false;
    bool AutoCopy = false;
    int JpegQuality = 90;
    int WebpQuality = 90;
    std::optional<TLanguage> OcrLanguage;  // none: the engine offers no language
    TRecordOptions Recording;
};

enum class TControllerState { Idle, Capturing, Recognising, Uploading, Recording };

// What the controller needs from the program around it: the choices, the pictures and the
// places a picture can go. The main window is the real one; tests supply their own.
class TCaptureHost {
public:
    virtual ~TCaptureHost() = default;

    virtual TCaptureOptions CaptureOptions() = 0;
    // The picture of every mode but colour pick, and the captured rectangle in screen pixels;
    // null when the user cancelled the selection.
    virtual std::unique_ptr<TBitmap> Grab(const TCaptureOptions& options, RECT& rect) = 0;
    // Colour pick: the colour under the mouse to the colour list and the clipboard.
    virtual void PickColour() = 0;
    virtual std::wstring NewFilename(const std::wstring& ext) = 0;

    virtual void CopyToClipboard(TBitmap& bitmap) = 0;
    virtual void Print(TBitmap& bitmap) = 0;
    virtual void Float(TBitmap& bitmap, const RECT& rect) = 0;
    virtual void PlayCaptureSound() = 0;
    // The upload itself, run on a worker thread: it must not touch windows. Answers the
    // published address, or empty on any failure.
    virtual std::function<std::wstring(std::vector<std::uint8_t> png, const UploadProgress& progress)> Uploader() = 0;
    // Opens an address a server sent once it passed the web-address gate; false when refused.
    virtual bool OpenAddress(const std::wstring& address) = 0;

    // Recording: the encoder beside the program (empty when missing), the region to record
    // (null: the monitor under the mouse), and the main window's recording display.
    virtual std::wstring EncoderPath() = 0;
    virtual TFuncOfRect RecordedRegion(const TCaptureOptions& options) = 0;
    virtual TCapture* Grabber() = 0;
    virtual void RecordingChanged(bool recording) = 0;
    virtual void RecordingTime(const std::wstring& shown) = 0;
};

// The one path from a capture request to its outcome. A request comes with its reporter (the
// user's message boxes, or a script's reply window); whatever happens on the way, the reporter
// hears exactly one outcome, and the controller is idle again once it has.
class TCaptureController : public TComponent {
public:
    TCaptureController(TComponent* owner, TCaptureHost& host);
    ~TCaptureController() override;

    TControllerState State() const noexcept { return FState; }
    bool IsRecording() const noexcept { return FRecorder != nullptr; }
    TRecorder* Recorder() const noexcept { return FRecorder.get(); }
    TRtOcr& Ocr() { return *FOcr; }

    // Starts one request: a capture, or with the MP4 target a recording's start or stop.
    void Run(std::shared_ptr<TOutcomeReporter> reporter);
    // From now on nothing new starts (the program is ending); requests are told so. An upload
    // or a recognition still running is given up: its request hears that the program is
    // closing (the user is not asked to click anything), and its result, should it still come,
    // opens nothing and writes nothing.
    void Shutdown();
    // At log-off: "q" to the encoder and up to waitMs for it to finish its file, handling
    // messages meanwhile. The recording's waiting requests hear how it ended.
    void EndRecordingForSession(DWORD waitMs);

    // How long a recognition may take before it is given up.
    UINT OcrTimeoutMs = 60000;
    // Every outcome, after its reporter heard it (a capture history listens here).
    std::function<void(const TCaptureOutcome& outcome)> OnOutcome;

private:
    void Capture(const TCaptureOptions& options);
    TCaptureOutcome Output(TBitmap& bitmap, const RECT& rect, const TCaptureOptions& options);
    void StartRecognition(std::unique_ptr<TBitmap> bitmap, const TCaptureOptions& options);
    void RecognitionEnded(const TResult& result);
    void RecognitionTimedOut();
    // sofar: the outcome of what came before the upload (the auto-copy).
    void StartUpload(std::unique_ptr<TBitmap> bitmap, TCaptureOutcome sofar);
    void UploadEnded(std::uint64_t ticket, const std::wstring& address);
    void StartRecording(const TCaptureOptions& options);
    void StopRecording(std::shared_ptr<TOutcomeReporter> reporter);
    void RecordingTick();
    void RecordingEnded();
    // Reports the running request's outcome and returns to idle. The state stays busy while
    // the reporter runs: a message box it shows lets other requests in, and they are refused.
    void Finish(const TCaptureOutcome& outcome);
    void Tell(TOutcomeReporter& reporter, const TCaptureOutcome& outcome);
    std::unique_ptr<TRtOcr> NewOcr();

    TCaptureHost& FHost;
    TControllerState FState = TControllerState::Idle;
    bool FClosing = false;
    std::shared_ptr<TOutcomeReporter> FCurrent;  // the request being carried out
    std::wstring FPendingPath;                   // what a recognition will write, once it ends
    bool FSoundAfter = false;

    std::unique_ptr<TRtOcr> FOcr;
    TTimer* FOcrTimer = nullptr;
    std::unique_ptr<TProgressForm> FUploadStrip;
    TCaptureOutcome FUploadSoFar;
    std::uint64_t FUploadTicket = 0;  // the running upload's; one that was given up has an older one
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);

    std::unique_ptr<TRecorder> FRecorder;
    TTimer* FRecTimer = nullptr;
    std::shared_ptr<TOutcomeReporter> FRecordingStarter;           // until the encoder runs
    std::vector<std::shared_ptr<TOutcomeReporter>> FRecordingStoppers;  // until the file is complete
};

}  // namespace tovasen
