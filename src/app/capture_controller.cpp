#include "app/capture_controller.h"

#include <utility>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"
#include "base/worker.h"
#include "app/frm_countdown.h"
#include "i18n/translation.h"
#include "ocr/ocr_core.h"
#include "ocr/ocr_text_file.h"
#include "ocr/rt_ocr.h"
#include "output/clipboard.h"
#include "output/image_writers.h"
#include "output/progress_form.h"
#include "redact/redact_plan.h"
#include "app/recording_session.h"
#include "ui/application.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

constexpr wchar_t kUnsupported[] = L"지원하지 않는 캡쳐영역입니다.";
constexpr wchar_t kUploadFailed[] = L"이미지 업로드를 실패하였습니다.";
constexpr wchar_t kUploading[] = L"업로드 중입니다.";
constexpr wchar_t kNotRedacted[] = L"비밀 정보를 가릴 수 없어 캡쳐를 내보내지 않았습니다.";

TCaptureOutcome CaptureFailure(const std::wstring& error) { return TCaptureOutcome::CaptureFailed(error); }

// A request given up because the program ends: a script hears why, the user is not asked to
// click anything on the way out.
TCaptureOutcome Closing() { return {TCaptureOutcome::TKind::Cancelled, {}, L"Tovasen is closing.", false}; }

TCaptureOutcome FailureOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EClipboardBusy& e) {
        // Told as the clipboard's own notice, as when the clipboard is busy anywhere else.
        return TCaptureOutcome::Failure(e.Message(), true);
    } catch (...) {
        return CaptureFailure(ExceptionText(std::current_exception()));
    }
}

bool Unsupported(const TCaptureOptions& o) {
    return o.Mode != TCaptureMode::Color &&
           ((InfoOf(o.Target).records && !InfoOf(o.Mode).canRecord) ||
            (o.Target == TSaveTarget::Floating && o.Mode == TCaptureMode::WebPage));
}

// A target whose file is encoded and written on a worker.
bool WritesOnWorker(TSaveTarget target) {
    return !InfoOf(target).extension.empty() && !InfoOf(target).records && target != TSaveTarget::Txt;
}

void WritePicture(TBitmap& bitmap, const TCaptureOptions& options, const std::wstring& path) {
    switch (options.Target) {
    case TSaveTarget::Png: SavePNG(bitmap, path); break;
    case TSaveTarget::Jpg: SaveJPG(bitmap, path, static_cast<std::uint8_t>(options.JpegQuality)); break;
    case TSaveTarget::Gif: SaveGIF(bitmap, path); break;
    case TSaveTarget::Bmp: SaveBMP(bitmap, path); break;
    case TSaveTarget::WebP: SaveWebP(bitmap, path, options.WebpQuality); break;
    default: throw Exception(L"This target writes no picture file.");
    }
}

// Covers every box of plan, found in the picture enlarged to recognised, on the picture's own pixels.
void CoverSecrets(TBitmap& picture, const TRedactPlan& plan, const TOcrSize& recognised) {
    if (plan.Boxes.empty() || picture.Empty()) return;
    if (picture.PixelFormat() == TPixelFormat::pfDevice) picture.SetPixelFormat(TPixelFormat::pf32bit);  // rows to write
    GdiFlush();
    const TPixelPlane plane{picture.ScanLine(0), picture.Width(), picture.Height(), picture.Stride(), picture.BitsPerPixel() / 8};
    const double scaleX = static_cast<double>(recognised.Width) / picture.Width();
    const double scaleY = static_cast<double>(recognised.Height) / picture.Height();
    for (const TSecretBox& secret : plan.Boxes) {
        PaintBlack(plane, CoverRect(secret.Box, scaleX, scaleY, picture.Width(), picture.Height()));
    }
}

}  // namespace

TCaptureController::TCaptureController(TComponent* owner, TCaptureHost& host)
    : TComponent(owner, L"CaptureController"), FHost(host), FOcr(NewOcr()) {
    FOcrTimer = new TTimer(this, L"TmrOcr", OcrTimeoutMs);
    FOcrTimer->OnTimer = [this] { RecognitionTimedOut(); };
    FSpareTimer = new TTimer(this, L"TmrSpare", SpareKeepMs);
    FSpareTimer->SetEnabled(false);
    FSpareTimer->OnTimer = [this] {
        FSpareTimer->SetEnabled(false);
        FSpare.reset();
    };
}

TCaptureController::~TCaptureController() {
    FLifetime.End();
    FWriter.WaitIdle();
    FCountdown.reset();
    FOcr.reset();
    FUploadStrip.reset();
}

TRecorder* TCaptureController::Recorder() const noexcept { return FRecording ? &FRecording->Recorder() : nullptr; }

TInputOverlay* TCaptureController::InputOverlay() const noexcept { return FRecording ? FRecording->InputOverlay() : nullptr; }

std::unique_ptr<TRtOcr> TCaptureController::NewOcr() { return std::make_unique<TRtOcr>(nullptr, L"RtOcr"); }

void TCaptureController::Run(TCaptureRequest request) {
    std::shared_ptr<TOutcomeReporter> reporter =
        request.Reporter ? std::move(request.Reporter) : std::make_shared<TUserReporter>();
    TCaptureOptions options = FHost.CaptureOptions();
    if (request.Mode) options.Mode = *request.Mode;
    Start({std::move(reporter), request.DelaySeconds, std::move(options)});
}

void TCaptureController::Start(TTakenRequest request) {
    std::shared_ptr<TOutcomeReporter> reporter = std::move(request.Reporter);
    if (FClosing) {
        // A script still hears why; the user gets no box, which would hold up the exit (or the
        // end of the session) that is under way.
        Tell(*reporter, {TCaptureOutcome::TKind::Cancelled, {}, L"Tovasen is closing.", false});
        return;
    }
    // While the encoder is being prepared a press is not yet a stop: it would end the
    // recording before it began.
    if (FRecording && FRecording->Recorder().Preparing()) {
        Tell(*reporter, {TCaptureOutcome::TKind::Busy, {}, {}, false});
        return;
    }
    // A running recording is stopped whatever the target has become meanwhile.
    if (FRecording) {
        StopRecording(std::move(reporter));
        return;
    }
    TJob job;
    job.Options = std::move(request.Options);
    if (Unsupported(job.Options)) {
        reporter->Report({TCaptureOutcome::TKind::Refused, {}, kUnsupported, true});
        return;
    }
    if (FState == TControllerState::Writing) {
        // As a key pressed during a synchronous write would have waited in the message queue.
        FWaiting.push_back({std::move(reporter), request.DelaySeconds, std::move(job.Options)});
        return;
    }
    if (FState != TControllerState::Idle) {
        reporter->Report({TCaptureOutcome::TKind::Busy, {}, {}, false});
        return;
    }
    FCurrent = std::move(reporter);
    FJob = std::move(job);
    const auto start = [this] {
        if (InfoOf(FJob.Options.Target).records) StartRecording(FJob.Options);
        else Capture();
    };
    if (request.DelaySeconds <= 0) {
        start();
        return;
    }
    // A delayed request holds the controller while its countdown runs: the capture then is this
    // request's, whatever else was asked meanwhile.
    FState = TControllerState::Capturing;
    try {
        FCountdown = std::make_unique<TCountdown>();
        FCountdown->Start(
            request.DelaySeconds,
            [this, start] {
                FCountdown.reset();
                FState = TControllerState::Idle;
                start();
            },
            [this] {
                FCountdown.reset();
                Finish({TCaptureOutcome::TKind::Cancelled, {}, {}, false});
            });
    } catch (...) {
        FCountdown.reset();
        Finish(FailureOf(std::current_exception()));
    }
}

void TCaptureController::Finished(const TCaptureOutcome& outcome, const TJob& job) {
    if (OnFinished) OnFinished({outcome, job.Options.Mode, job.Options.Target, job.Picture.get(), job.Window});
}

void TCaptureController::Shutdown() {
    FClosing = true;
    if (FState == TControllerState::Writing) {
        // A picture being written is finished, not lost: the worker is near its end anyway.
        FWriter.WaitIdle();
        WriteEnded();
    }
    for (TTakenRequest& waiting : std::exchange(FWaiting, {})) Tell(*waiting.Reporter, Closing());
    if (FCountdown) {
        FCountdown.reset();
        Finish(Closing());
    } else if (FState == TControllerState::Uploading) {
        ++FUploadTicket;
        FUploadStrip.reset();
        Finish(Closing());
    } else if (FState == TControllerState::Recognising) {
        FOcrTimer->SetEnabled(false);
        FOcr = NewOcr();  // its operation goes with it; a late completion finds nothing
        Finish(Closing());
    }
}

void TCaptureController::Finish(const TCaptureOutcome& outcome) {
    const std::shared_ptr<TOutcomeReporter> reporter = std::move(FCurrent);
    if (reporter) reporter->Report(outcome);
    TJob job = std::move(FJob);
    FJob = {};
    FState = TControllerState::Idle;
    Finished(outcome, job);
    KeepSpare(std::move(job.Picture));
    if (!FWaiting.empty()) ApplicationPoster()(FLifetime.Guard([this] { RunWaiting(); }));
}

// Once nothing else holds it (a floating window, an upload, a writer would), the next capture
// may reuse its memory. Every pixel of it is written again before it shows anywhere.
void TCaptureController::KeepSpare(std::shared_ptr<TBitmap> picture) {
    if (!picture || picture.use_count() != 1 || FClosing) return;
    FSpare = std::move(picture);
    FSpareTimer->SetEnabled(false);
    FSpareTimer->SetInterval(SpareKeepMs);
    FSpareTimer->SetEnabled(true);
}

std::function<void(std::shared_ptr<TBitmap> picture)> TCaptureController::SpareReturn() {
    return FLifetime.Guard<std::shared_ptr<TBitmap>>([this](std::shared_ptr<TBitmap> picture) { KeepSpare(std::move(picture)); });
}

void TCaptureController::RunWaiting() {
    if (FWaiting.empty() || FState != TControllerState::Idle) return;
    TTakenRequest next = std::move(FWaiting.front());
    FWaiting.pop_front();
    Start(std::move(next));
}

// --- Pictures ----------------------------------------------------------------------------------

void TCaptureController::Capture() {
    FState = TControllerState::Capturing;
    const TCaptureOptions& options = FJob.Options;
    try {
        if (options.SoundBefore && options.Mode != TCaptureMode::Drag) FHost.PlayCaptureSound();
        if (options.Mode == TCaptureMode::Color) {
            FHost.PickColour();
            Finish(TCaptureOutcome::Nothing());
            return;
        }
        TGrab grab = FHost.Grab(options, std::move(FSpare));
        FSpareTimer->SetEnabled(false);
        if (!grab.Bitmap) {  // the selection was cancelled
            Finish({TCaptureOutcome::TKind::Cancelled, {}, {}, false});
            return;
        }
        FJob.Picture = std::move(grab.Bitmap);
        FJob.Rect = grab.Rect;
        FJob.Window = grab.Window;
        FJob.Notice = std::move(grab.Notice);
        // In drag mode the sound "before" the capture marks the end of the selection.
        if (options.SoundBefore && options.Mode == TCaptureMode::Drag) FHost.PlayCaptureSound();
        if (options.RedactSecrets) {
            StartRedaction();
            return;
        }
        EditOrDeliver();
    } catch (...) {
        Finish(FailureOf(std::current_exception()));
    }
}

void TCaptureController::EditOrDeliver() {
    try {
        const TCaptureOptions& options = FJob.Options;
        if (options.EditFirst && options.Target != TSaveTarget::Txt) {
            // The editor hands the marked-up picture on later; until then the controller waits.
            FHost.Edit(
                *FJob.Picture,
                [this](TEdited& edited) {
                    // What went out is the edited picture: keep a copy for the record.
                    auto flat = std::make_shared<TBitmap>();
                    flat->SetPixelFormat(TPixelFormat::pf32bit);
                    flat->SetSize(edited.Flat.Width(), edited.Flat.Height());
                    BitBlt(flat->Canvas().Handle(), 0, 0, flat->Width(), flat->Height(), edited.Flat.Canvas().Handle(), 0,
                           0, SRCCOPY);
                    FJob.Picture = flat;
                    Deliver(*flat, edited.SaveEditablePng);
                },
                [this] { Finish({TCaptureOutcome::TKind::Cancelled, {}, {}, false}); });
            return;
        }
        Deliver(*FJob.Picture, nullptr);
    } catch (...) {
        Finish(FailureOf(std::current_exception()));
    }
}

void TCaptureController::Deliver(TBitmap& picture, const std::function<void(const std::wstring&)>& pngWriter) {
    try {
        if (FJob.Options.Target == TSaveTarget::Txt) {
            StartRecognition(picture);
            return;
        }
        // A PNG from the editor keeps its marks through the editor's own writer, on this thread.
        if (WritesOnWorker(FJob.Options.Target) && !(pngWriter && FJob.Options.Target == TSaveTarget::Png)) {
            StartWrite();
            return;
        }
        Delivered(Output(picture, pngWriter), picture);
    } catch (...) {
        Finish(FailureOf(std::current_exception()));
    }
}

TCaptureOutcome TCaptureController::Output(TBitmap& bitmap, const std::function<void(const std::wstring&)>& pngWriter) {
    const TCaptureOptions& options = FJob.Options;
    switch (options.Target) {
    case TSaveTarget::Png: {
        const std::wstring path = FHost.NewFilename(options, L"png");
        pngWriter(path);
        return TCaptureOutcome::Written(TCaptureOutcome::TKind::FileWritten, path);
    }
    case TSaveTarget::Clipboard:
        FHost.CopyToClipboard(bitmap);
        break;
    case TSaveTarget::Printer:
        FHost.Print(bitmap);
        break;
    case TSaveTarget::Upload:
        break;  // after auto-copy and the sound
    case TSaveTarget::Floating:
        // The window shares the job's picture (bitmap is that picture) rather than copying it.
        FHost.Float(FJob.Picture, FJob.Rect);
        break;
    default:
        throw Exception(L"No save target is selected.");
    }
    return TCaptureOutcome::Nothing();
}

void TCaptureController::StartWrite() {
    auto write = std::make_shared<TWrite>();
    write->Path = FHost.NewFilename(FJob.Options, std::wstring(InfoOf(FJob.Options.Target).extension));
    FWrite = write;
    FState = TControllerState::Writing;
    // The picture is the job's and nothing else touches it until the worker has ended.
    FWriter.Run([picture = FJob.Picture, options = FJob.Options, write, post = ApplicationPoster(),
                 done = FLifetime.Guard([this] { WriteEnded(); })] {
        try {
            WritePicture(*picture, options, write->Path);
        } catch (...) {
            write->Error = std::current_exception();
        }
        post(done);
    });
}

void TCaptureController::WriteEnded() {
    if (!FWrite) return;  // taken at shut-down already
    FWriter.WaitIdle();  // the job's hold on the picture is gone too
    const std::shared_ptr<TWrite> write = std::move(FWrite);
    FState = TControllerState::Capturing;
    if (write->Error) {
        Finish(FailureOf(write->Error));
        return;
    }
    try {
        Delivered(TCaptureOutcome::Written(TCaptureOutcome::TKind::FileWritten, write->Path), *FJob.Picture);
    } catch (...) {
        Finish(FailureOf(std::current_exception()));
    }
}

void TCaptureController::Delivered(TCaptureOutcome outcome, TBitmap& picture) {
    const TCaptureOptions& options = FJob.Options;
    // Auto-copy is a comfort on top of the target: when the clipboard is busy the capture still
    // goes on, and its outcome says what did not happen.
    if (options.AutoCopy && options.Target != TSaveTarget::Clipboard) {
        try {
            FHost.CopyToClipboard(picture);
        } catch (const EClipboardBusy& e) {
            outcome = {TCaptureOutcome::TKind::Failed, outcome.Path, e.Message(), true};
        }
    }
    if (options.SoundAfter) FHost.PlayCaptureSound();
    if (outcome.Succeeded()) outcome.Message = FJob.Notice;
    if (options.Target == TSaveTarget::Upload) {
        StartUpload(std::move(outcome));
        return;
    }
    Finish(outcome);
}

// --- Text recognition ----------------------------------------------------------------------------

TOcrSize TCaptureController::Recognise(const TBitmap& bitmap, TCompletionProc done) {
    const TCaptureOptions& options = FJob.Options;
    if (!options.OcrLanguage) throw ERtOcrError(L"Language not available");
    // Three times as large reads better, but never beyond what the engine accepts.
    const TOcrSize size = EnlargedSize(bitmap.Width(), bitmap.Height(), FOcr->MaxImageDimension());
    // The last picture goes first: with the engine's own bitmap, two enlarged copies at most.
    FOcr->TakePicture(nullptr);
    FOcr->TakePicture(ScaleForOcr(bitmap, size.Width, size.Height));
    FOcr->Recognize(*options.OcrLanguage, std::move(done), 0, 0, 0, 0);
    FState = TControllerState::Recognising;
    FOcrTimer->SetInterval(OcrTimeoutMs);
    FOcrTimer->SetEnabled(true);
    return size;
}

void TCaptureController::StartRecognition(const TBitmap& bitmap) {
    Recognise(bitmap, [this](const TResult& result) { RecognitionEnded(result); });
    FJob.Picture.reset();
}

void TCaptureController::StartRedaction() {
    try {
        auto recognised = std::make_shared<TOcrSize>();
        *recognised = Recognise(*FJob.Picture, [this, recognised](const TResult& result) { RedactionEnded(result, *recognised); });
    } catch (...) {
        NotRedacted(ExceptionText(std::current_exception()));
    }
}

void TCaptureController::RedactionEnded(const TResult& result, const TOcrSize& recognised) {
    FOcrTimer->SetEnabled(false);
    FOcr->TakePicture(nullptr);
    if (result.Status != TStatus::stCompleted) {
        NotRedacted(L"OCR failed.");
        return;
    }
    try {
        const TRedactPlan plan = PlanRedaction(result.Lines);
        if (plan.Unplaced > 0) throw Exception(L"The recogniser gave no place in the picture for a secret it read.");
        CoverSecrets(*FJob.Picture, plan, recognised);
    } catch (...) {
        NotRedacted(ExceptionText(std::current_exception()));
        return;
    }
    FState = TControllerState::Capturing;
    EditOrDeliver();
}

void TCaptureController::NotRedacted(const std::wstring& why) {
    FJob.Picture.reset();  // nothing keeps a picture whose secrets may still show
    Finish(TCaptureOutcome::Failure(kNotRedacted, false, why));
}

void TCaptureController::RecognitionEnded(const TResult& result) {
    FOcrTimer->SetEnabled(false);
    FOcr->TakePicture(nullptr);  // the enlarged picture is large: not kept until the next one
    TCaptureOutcome outcome;
    try {
        if (result.Status != TStatus::stCompleted) {
            outcome = CaptureFailure(L"OCR failed.");
        } else {
            const std::wstring path = FHost.NewFilename(FJob.Options, L"txt");
            WriteRecognizedText(path, JoinLines(result.Lines));
            outcome = TCaptureOutcome::Written(TCaptureOutcome::TKind::TextWritten, path);
            if (FJob.Options.SoundAfter) FHost.PlayCaptureSound();
        }
    } catch (...) {
        outcome = FailureOf(std::current_exception());
    }
    Finish(outcome);
}

void TCaptureController::RecognitionTimedOut() {
    FOcrTimer->SetEnabled(false);
    if (FState != TControllerState::Recognising) return;
    // An engine that never answers: the recogniser is given up with its operation (a late
    // completion finds it gone) and a fresh one takes its place.
    FOcr = NewOcr();
    // A picture still held waits for its secrets to be covered; a text target's went to the engine.
    if (FJob.Picture) NotRedacted(L"OCR failed.");
    else Finish(CaptureFailure(L"OCR failed."));
}

// --- Upload --------------------------------------------------------------------------------------

void TCaptureController::StartUpload(TCaptureOutcome sofar) {
    FState = TControllerState::Uploading;
    FUploadSoFar = std::move(sofar);
    FUploadStrip = std::make_unique<TProgressForm>(Translate(kUploading));
    auto upload = FHost.Uploader();
    std::shared_ptr<TProgressValues> values = FUploadStrip->Values();
    const TPoster post = ApplicationPoster();
    const std::uint64_t ticket = ++FUploadTicket;
    // The worker reads the picture (encoding a tall capture takes long, and this thread keeps
    // answering meanwhile); it stays the job's until the end. The job is the program's, not this
    // controller's: an upload given up at exit still ends by its deadline, and the program's end
    // waits for it. The address comes back through the queue, or never once the controller is gone.
    auto address = std::make_shared<std::wstring>();
    ProgramWorker().Start([picture = FJob.Picture, upload, values, post, address,
                           done = FLifetime.Guard([this, ticket, address] { UploadEnded(ticket, *address); })](
                              std::stop_token) mutable {
        try {
            std::vector<std::uint8_t> png = EncodeUploadPng(*picture);
            picture.reset();
            *address = upload(std::move(png), [values](std::uint32_t position, std::uint32_t size) {
                values->Set(position, size);
            });
        } catch (...) {
            address->clear();
        }
        post(done);
    });
}

void TCaptureController::UploadEnded(std::uint64_t ticket, const std::wstring& address) {
    if (ticket != FUploadTicket || FState != TControllerState::Uploading) return;  // given up meanwhile
    FUploadStrip.reset();
    if (address.empty() || !FHost.OpenAddress(address)) {
        Finish(TCaptureOutcome::Failure(kUploadFailed));
    } else if (!FUploadSoFar.Succeeded()) {
        FUploadSoFar.Path = address;  // uploaded, but the auto-copy before it failed
        Finish(FUploadSoFar);
    } else {
        Finish(TCaptureOutcome::Written(TCaptureOutcome::TKind::Uploaded, address));
    }
}

// --- Recording ---------------------------------------------------------------------------------

void TCaptureController::StartRecording(const TCaptureOptions& options) {
    const std::wstring encoder = FHost.EncoderPath();
    if (encoder.empty()) {
        // Gone since the target was chosen: say so rather than ignore the key.
        Finish(CaptureFailure(FileMissingText(L"ffmpeg.exe")));
        return;
    }
    FState = TControllerState::Recording;
    const std::uint64_t number = ++FRecordingNumber;
    try {
        FRecording = std::make_unique<TRecordingSession>(
            FHost, options, encoder, [this](TOutcomeReporter& reporter, const TCaptureOutcome& outcome) { Tell(reporter, outcome); },
            // The recorder is still inside its own call: the session is freed from the queue.
            [this, number] {
                ApplicationPoster()(FLifetime.Guard([this, number] {
                    if (number == FRecordingNumber) RecordingEnded();
                }));
            });
    } catch (...) {
        FRecording.reset();
        Finish(FailureOf(std::current_exception()));
        return;
    }
    // The request is answered once the encoder reports that it records (or ends instead).
    FRecording->AwaitStart(std::move(FCurrent));
    FRecordingJob = std::move(FJob);
}

void TCaptureController::StopRecording(std::shared_ptr<TOutcomeReporter> reporter) {
    if (!FRecording) {
        Tell(*reporter, TCaptureOutcome::Failure(L"There is no recording to stop."));
        return;
    }
    FRecording->Stop(std::move(reporter));
}

bool TCaptureController::CheckPausable(TOutcomeReporter& reporter) {
    const wchar_t* refusal = nullptr;
    if (FClosing) refusal = L"Tovasen is closing.";
    else if (!FRecording) refusal = L"There is no recording to pause or resume.";
    if (!refusal) return true;
    Tell(reporter, TCaptureOutcome::Failure(refusal));
    return false;
}

void TCaptureController::PauseRecording(std::shared_ptr<TOutcomeReporter> reporter) {
    if (CheckPausable(*reporter)) FRecording->Pause(std::move(reporter));
}

void TCaptureController::ResumeRecording(std::shared_ptr<TOutcomeReporter> reporter) {
    if (CheckPausable(*reporter)) FRecording->Resume(std::move(reporter));
}

void TCaptureController::Tell(TOutcomeReporter& reporter, const TCaptureOutcome& outcome) {
    if (FSessionEnding && dynamic_cast<TUserReporter*>(&reporter)) return;
    reporter.Report(outcome);
}

void TCaptureController::RecordingEnded() {
    if (!FRecording) return;
    // Out of reach before anyone is told: a box shown meanwhile lets a request in, which must
    // find no recording to stop (and a busy controller).
    const std::unique_ptr<TRecordingSession> ended = std::move(FRecording);
    ++FRecordingNumber;
    const TCaptureOutcome outcome = ended->TellEnd();
    FState = TControllerState::Idle;
    Finished(outcome, FRecordingJob);
}

void TCaptureController::EndRecordingForSession(DWORD waitMs) {
    FClosing = true;  // a key pressed meanwhile must not start anything the session's end kills
    FSessionEnding = true;
    if (!FRecording) return;
    FRecording->Recorder().Stop();
    const DWORD until = GetTickCount() + waitMs;
    while (FRecording && FRecording->Recorder().IsRunning() && static_cast<int>(until - GetTickCount()) > 0) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
                break;
            }
            Application->DispatchOne(msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    if (FRecording && !FRecording->Recorder().IsRunning()) RecordingEnded();
}

}  // namespace tovasen
