#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/capture_outcome.h"
#include "app/capture_request.h"
#include "app/outcome_reporter.h"
#include "base/job_thread.h"
#include "base/lifetime.h"
#include "output/upload.h"
#include "record/recorder.h"
#include "image/bitmap.h"
#include "ocr/ocr_core.h"
#include "ocr/ocr_session.h"
#include "ui/component.h"

namespace tovasen {

class TCountdown;
class TInputOverlay;
class TRecordingSession;
class TRtOcr;
class TProgressForm;
class TTimer;

// Writing: a picture is being encoded and written on a worker; requests made meanwhile wait
// their turn instead of being refused.
enum class TControllerState { Idle, Capturing, Writing, Recognising, Uploading, Recording };

// A picture as a mode supplies it.
struct TGrab {
    std::shared_ptr<TBitmap> Bitmap;  // null: the user cancelled the selection
    RECT Rect{};                      // where it was on the screen
    std::wstring Notice;              // it stopped early at a limit: said along with the outcome
    HWND Window = nullptr;            // the window captured, when the mode captures one
};

// A marked-up picture the editor hands back: what any target writes, and for a PNG a writer that
// keeps the marks editable.
struct TEdited {
    TBitmap& Flat;
    std::function<void(const std::wstring& path)> SaveEditablePng;
};

// One request: who hears the outcome, a countdown before the capture (seconds, 0: none), and
// the mode when the request names its own (a mode's key, a script) instead of the chosen one.
struct TCaptureRequest {
    std::shared_ptr<TOutcomeReporter> Reporter;
    int DelaySeconds = 0;
    std::optional<TCaptureMode> Mode;
};
// A request with the choices it was made with.
struct TTakenRequest {
    std::shared_ptr<TOutcomeReporter> Reporter;
    int DelaySeconds = 0;
    TCaptureOptions Options;
};

// What a finished request was about, for whoever keeps a record of captures.
struct TFinishedCapture {
    const TCaptureOutcome& Outcome;
    TCaptureMode Mode;
    TSaveTarget Target;
    TBitmap* Picture;  // what went out, while it still exists; null for text and recordings
    HWND Window;       // the window captured, or null
};

// What the controller needs from the program around it: the choices, the pictures and the
// places a picture can go. The main window is the real one; tests supply their own.
class TCaptureHost {
public:
    virtual ~TCaptureHost() = default;

    // The choices of a request made now; taken once per request.
    virtual TCaptureOptions CaptureOptions() = 0;
    // The picture of every mode but colour pick.
    // spare, when not null, is the picture of an earlier capture that nothing holds any more:
    // the grab may take its memory instead of new memory.
    virtual TGrab Grab(const TCaptureOptions& options, std::shared_ptr<TBitmap> spare) = 0;
    // Colour pick: the colour under the mouse to the colour list and the clipboard.
    virtual void PickColour() = 0;
    // The next free name in the request's folder under its naming scheme.
    virtual std::wstring NewFilename(const TCaptureOptions& options, const std::wstring& ext) = 0;

    virtual void CopyToClipboard(TBitmap& bitmap) = 0;
    virtual void Print(TBitmap& bitmap) = 0;
    virtual void Float(std::shared_ptr<TBitmap> picture, const RECT& rect) = 0;
    virtual void PlayCaptureSound() = 0;
    // Opens the annotation editor on a copy of picture; exactly one of the two runs later, from
    // the message loop.
    virtual void Edit(TBitmap& picture, std::function<void(TEdited& edited)> done, std::function<void()> cancelled) = 0;
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
    virtual void RecordingPaused(bool /*paused*/) {}
    // This program's executable, to watch the encoder should the program end unexpectedly;
    // empty: no guard.
    virtual std::wstring GuardProgram() { return {}; }
};

// The one path from a capture request to its outcome. A request comes with its reporter (the
// user's message boxes, or a script's reply window); whatever happens on the way, the reporter
// hears exactly one outcome, and the controller is idle again once it has.
class TCaptureController : public TComponent {
public:
    TCaptureController(TComponent* owner, TCaptureHost& host);
    ~TCaptureController() override;

    TControllerState State() const noexcept { return FState; }
    bool IsRecording() const noexcept { return FRecording != nullptr; }
    TRecorder* Recorder() const noexcept;
    // What draws the clicks and keys into the recording, while it runs with them.
    TInputOverlay* InputOverlay() const noexcept;
    TRtOcr& Ocr() { return *FOcr; }

    // Starts one request: a capture, or with the MP4 target a recording's start or stop.
    void Run(TCaptureRequest request);
    void Run(std::shared_ptr<TOutcomeReporter> reporter) { Run(TCaptureRequest{std::move(reporter), 0, std::nullopt}); }
    // From now on nothing new starts (the program is ending); requests are told so. A countdown,
    // an upload or a recognition still running is given up: its request hears that the program
    // is closing (the user is not asked to click anything), and its result, should it still
    // come, opens nothing and writes nothing.
    void Shutdown();
    // Stops a running recording in whatever phase it is (also while it is being prepared, when
    // it ends as cancelled); the reporter hears how it ended.
    void StopRecording(std::shared_ptr<TOutcomeReporter> reporter);
    // A running recording's pause and resume. Answered once the part is finished (pause) or
    // the encoder records again (resume), or with an error when the recording ends first (a
    // stop, the length limit, a failure); a request that does not fit (nothing to pause, not
    // paused) is answered at once with an error.
    void PauseRecording(std::shared_ptr<TOutcomeReporter> reporter);
    void ResumeRecording(std::shared_ptr<TOutcomeReporter> reporter);
    // At log-off: "q" to the encoder and up to waitMs for it to finish its file and for the
    // parts to be joined, handling messages meanwhile but starting nothing new. The
    // recording's waiting requests hear how it ended.
    void EndRecordingForSession(DWORD waitMs);

    // How long a recognition may take before it is given up.
    UINT OcrTimeoutMs = 60000;
    // How long the last capture's picture is kept for the next one (see FSpare).
    UINT SpareKeepMs = 30000;
    // The picture kept for the next capture; null when there is none (for tests).
    const TBitmap* SparePicture() const noexcept { return FSpare.get(); }
    // Takes a picture back once whatever showed it has let it go (a closed floating window):
    // kept as the spare when nothing else holds it. Does nothing once the controller has gone.
    std::function<void(std::shared_ptr<TBitmap> picture)> SpareReturn();
    // Every request that was carried out, after its reporter heard how it ended (a capture
    // history listens here); not for requests refused before they started.
    std::function<void(const TFinishedCapture& capture)> OnFinished;

private:
    // The capture being carried out.
    struct TJob {
        TCaptureOptions Options;
        std::shared_ptr<TBitmap> Picture;
        RECT Rect{};
        HWND Window = nullptr;
        std::wstring Notice;
    };

    void Start(TTakenRequest request);
    void Capture();
    // The editor when the request asks for it, then the target.
    void EditOrDeliver();
    void Deliver(TBitmap& picture, const std::function<void(const std::wstring&)>& pngWriter);
    // Targets carried out here, on this thread; the file writers run through StartWrite.
    TCaptureOutcome Output(TBitmap& bitmap, const std::function<void(const std::wstring&)>& pngWriter);
    // The file is named now, encoded and written on a worker; WriteEnded takes it from there.
    void StartWrite();
    void WriteEnded();
    // What follows every picture target: auto-copy, the sound, the notice, then the upload or the end.
    void Delivered(TCaptureOutcome outcome, TBitmap& picture);
    // The next request that waited while a file was written.
    void RunWaiting();
    // Starts recognising an enlarged copy of bitmap; answers the size recognised.
    TOcrSize Recognise(const TBitmap& bitmap, TCompletionProc done);
    void StartRecognition(const TBitmap& bitmap);
    // Secrets the recogniser reads are covered on the picture before it goes anywhere; when that
    // cannot be done the picture goes nowhere.
    void StartRedaction();
    void RedactionEnded(const TResult& result, const TOcrSize& recognised);
    void NotRedacted(const std::wstring& why);
    void RecognitionEnded(const TResult& result);
    void RecognitionTimedOut();
    // sofar: the outcome of what came before the upload (the auto-copy).
    void StartUpload(TCaptureOutcome sofar);
    void UploadEnded(std::uint64_t ticket, const std::wstring& address);
    void StartRecording(const TCaptureOptions& options);
    // Tells the recording's waiting requests how it ended and frees it; from the queue.
    void RecordingEnded();
    // A pause or resume request that cannot be taken; false when it was refused.
    bool CheckPausable(TOutcomeReporter& reporter);
    // Reports the running request's outcome and returns to idle. The state stays busy while
    // the reporter runs: a message box it shows lets other requests in, and they are refused.
    void Finish(const TCaptureOutcome& outcome);
    // While the session ends nobody is asked to click anything: the user hears nothing then.
    void Tell(TOutcomeReporter& reporter, const TCaptureOutcome& outcome);
    void Finished(const TCaptureOutcome& outcome, const TJob& job);
    std::unique_ptr<TRtOcr> NewOcr();

    TCaptureHost& FHost;
    TControllerState FState = TControllerState::Idle;
    std::deque<TTakenRequest> FWaiting;  // made while a file was being written

    // The file being written: its worker, and what it found (read once the worker has ended).
    struct TWrite {
        std::wstring Path;
        std::exception_ptr Error;
    };
    // One thread for a run of captures; it ends 30 s after the last file.
    TJobThread FWriter{30000};
    std::shared_ptr<TWrite> FWrite;
    bool FClosing = false;
    std::shared_ptr<TOutcomeReporter> FCurrent;  // the request being carried out
    TJob FJob;
    std::unique_ptr<TCountdown> FCountdown;

    std::unique_ptr<TRtOcr> FOcr;
    TTimer* FOcrTimer = nullptr;
    // The last capture's picture once nothing holds it, for the next capture of its size: a new
    // screen-sized picture makes the system clear every page of it first (3 ms at 1280x1024,
    // more at 4K), which a user pressing the key again would wait for. Kept SpareKeepMs.
    std::shared_ptr<TBitmap> FSpare;
    TTimer* FSpareTimer = nullptr;
    void KeepSpare(std::shared_ptr<TBitmap> picture);
    std::unique_ptr<TProgressForm> FUploadStrip;
    TCaptureOutcome FUploadSoFar;
    std::uint64_t FUploadTicket = 0;  // the running upload's; one that was given up has an older one

    std::unique_ptr<TRecordingSession> FRecording;
    TJob FRecordingJob;
    std::uint64_t FRecordingNumber = 0;  // the running recording's; an ended one has an older one
    bool FSessionEnding = false;
    TLifetime FLifetime;  // last: calls coming back from workers find it ended first
};

}  // namespace tovasen
