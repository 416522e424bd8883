#include "app/recording_session.h"

#include <utility>

#include "app/capture_controller.h"
#include "app/outcome_reporter.h"
#include "base/log_event.h"
#include "i18n/translation.h"
#include "record/ffmpeg_command.h"
#include "record/input_overlay.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

constexpr UINT kTickMs = 100;

}  // namespace

TRecordingSession::TRecordingSession(TCaptureHost& host, const TCaptureOptions& options, const std::wstring& encoder,
                                     TTell tell, std::function<void()> ended)
    : TComponent(nullptr, L"RecordingSession"), FHost(host), FTell(std::move(tell)), FEnded(std::move(ended)) {
    FTimer = new TTimer(this, L"TmrRecording", kTickMs);
    FTimer->OnTimer = [this] { Tick(); };
    FHost.RecordingChanged(true);
    try {
        FRecorder = std::make_unique<TRecorder>(nullptr);
        FRecorder->Audio = options.Recording.Audio;
        FRecorder->Mouse = options.Recording.Mouse;
        FRecorder->Logging = options.Recording.Logging;
        FRecorder->FFMpeg = encoder;
        FRecorder->LogFolder = options.Recording.LogFolder;
        FRecorder->LimitSeconds = LimitSecondsForMinutes(options.Recording.LimitMinutes);
        FRecorder->GuardProgram = FHost.GuardProgram();
        FRecorder->OnEvent = [this](TRecorder::TEvent event) { RecorderEvent(event); };
        FRecorder->Output = FHost.NewFilename(options, L"mp4");
        FRecorder->MakeGif = options.Target == TSaveTarget::GifAnimated;
        // Asked for every frame: the recording follows the frame when it is dragged.
        if (TFuncOfRect region = FHost.RecordedRegion(options)) FRecorder->Start(FHost.Grabber(), std::move(region));
        else FRecorder->Start();
        if (options.Recording.ShowInput) ShowInput();
    } catch (...) {
        FRecorder.reset();
        FHost.RecordingChanged(false);
        throw;
    }
    FTimer->SetEnabled(true);
}

TRecordingSession::~TRecordingSession() = default;

void TRecordingSession::ShowInput() {
    // A comfort on top of the recording: the recording goes on without it.
    try {
        FInputOverlay = std::make_unique<TInputOverlay>(nullptr, [recorder = FRecorder.get()] { return recorder->RecordedArea(); },
                                                        CurrentLanguage);
    } catch (...) {
        LogCaught(L"recording", std::current_exception());
    }
}

void TRecordingSession::Stop(std::shared_ptr<TOutcomeReporter> reporter) {
    // Gone before the file is finished, and long before the next grab could see it.
    FInputOverlay.reset();
    FStoppers.push_back(std::move(reporter));
    FRecorder->Stop();
}

bool TRecordingSession::CheckPausable(TOutcomeReporter& reporter) {
    if (FRecorder->IsRunning()) return true;
    FTell(reporter, TCaptureOutcome::Failure(L"The recording has ended."));
    return false;
}

void TRecordingSession::Pause(std::shared_ptr<TOutcomeReporter> reporter) {
    if (!CheckPausable(*reporter)) return;
    if (FRecorder->Paused()) {
        FTell(*reporter, TCaptureOutcome::Failure(L"The recording is paused already."));
    } else if (!FRecorder->Pause()) {
        FTell(*reporter, TCaptureOutcome::Failure(L"busy: the recording is starting or ending; there is nothing to pause."));
    } else {
        FPausers.push_back(std::move(reporter));
        Tick();  // the label says so at once
    }
}

void TRecordingSession::Resume(std::shared_ptr<TOutcomeReporter> reporter) {
    if (!CheckPausable(*reporter)) return;
    if (!FRecorder->Resume()) {
        FTell(*reporter, TCaptureOutcome::Failure(L"The recording is not paused."));
        return;
    }
    FResumers.push_back(std::move(reporter));
    Tick();
}

void TRecordingSession::Tick() {
    if (!FRecorder->IsRunning()) {
        FTimer->SetEnabled(false);
        return;
    }
    if (FShownPaused != FRecorder->Paused()) {
        FShownPaused = FRecorder->Paused();
        if (FInputOverlay) FInputOverlay->SetPaused(FShownPaused);
        FHost.RecordingPaused(FShownPaused);
    }
    FHost.RecordingTime(ShownRecTime(FRecorder->RecTime()));
}

void TRecordingSession::RecorderEvent(TRecorder::TEvent event) {
    const std::wstring path = FRecorder->Output;
    // Pause and resume are steps of the recording, not outcomes of a capture: only the asker hears.
    const auto answer = [&](std::vector<std::shared_ptr<TOutcomeReporter>>& waiting, TCaptureOutcome::TKind kind) {
        for (const auto& reporter : std::exchange(waiting, {})) FTell(*reporter, TCaptureOutcome::Written(kind, path));
    };
    switch (event) {
    case TRecorder::TEvent::Started:
        if (FStarter) {
            const std::shared_ptr<TOutcomeReporter> starter = std::move(FStarter);
            FTell(*starter, TCaptureOutcome::Written(TCaptureOutcome::TKind::RecordingStarted, path));
        }
        break;
    case TRecorder::TEvent::Paused:
        answer(FPausers, TCaptureOutcome::TKind::RecordingPaused);
        break;
    case TRecorder::TEvent::Resumed:
        answer(FResumers, TCaptureOutcome::TKind::RecordingResumed);
        break;
    case TRecorder::TEvent::Ended:
        if (FEnded) FEnded();
        break;
    }
}

TCaptureOutcome TRecordingSession::TellEnd() {
    FTimer->SetEnabled(false);
    const std::wstring failure = FRecorder->Failure();
    const std::wstring path = FRecorder->Result();
    const bool cancelled = FRecorder->Cancelled();
    FInputOverlay.reset();
    FRecorder->OnEvent = nullptr;
    if (FShownPaused) {
        FShownPaused = false;
        FHost.RecordingPaused(false);
    }
    FHost.RecordingChanged(false);
    TCaptureOutcome outcome = failure.empty() ? TCaptureOutcome::Written(TCaptureOutcome::TKind::FileWritten, path)
                                              : TCaptureOutcome::CaptureFailed(failure);
    if (cancelled) outcome = {TCaptureOutcome::TKind::Cancelled, {}, {}, false};
    std::vector<std::shared_ptr<TOutcomeReporter>> waiting = std::exchange(FStoppers, {});
    if (FStarter) waiting.insert(waiting.begin(), std::exchange(FStarter, nullptr));
    // A pause or resume still waiting did not happen: the recording ended under it.
    const TCaptureOutcome ended = TCaptureOutcome::Failure(
        cancelled ? L"The recording ended before it started."
                  : failure.empty() ? L"The recording ended; its file is " + path : L"The recording ended: " + failure);
    for (auto* steps : {&FPausers, &FResumers}) {
        for (const auto& reporter : std::exchange(*steps, {})) FTell(*reporter, ended);
    }
    // A recording that ended on its own with an error is told to the user.
    if (waiting.empty() && !outcome.Succeeded()) waiting.push_back(std::make_shared<TUserReporter>());
    for (const auto& reporter : waiting) FTell(*reporter, outcome);
    return outcome;
}

}  // namespace tovasen
