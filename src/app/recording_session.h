#pragma once
// One recording, from its start to its end, and the requests waiting on it: the one that
// started it (answered once the encoder records), stops (once the file is complete), pauses and
// resumes. The capture controller makes one per recording and frees it once it has ended.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/capture_outcome.h"
#include "app/capture_request.h"
#include "record/recorder.h"
#include "ui/component.h"

namespace tovasen {

class TCaptureHost;
class TInputOverlay;
class TOutcomeReporter;
class TTimer;

class TRecordingSession : public TComponent {
public:
    using TTell = std::function<void(TOutcomeReporter& reporter, const TCaptureOutcome& outcome)>;

    // Starts the encoder (raises when it cannot); the host shows the recording meanwhile.
    // tell: how a waiting request hears its answer. ended: the recording is over, called from
    // the recorder's own call (free the session later, from the queue).
    TRecordingSession(TCaptureHost& host, const TCaptureOptions& options, const std::wstring& encoder, TTell tell,
                      std::function<void()> ended);
    ~TRecordingSession() override;

    TRecorder& Recorder() const noexcept { return *FRecorder; }
    TInputOverlay* InputOverlay() const noexcept { return FInputOverlay.get(); }

    // The request that started it: answered once the encoder records, or with how it ended.
    void AwaitStart(std::shared_ptr<TOutcomeReporter> starter) { FStarter = std::move(starter); }
    void Stop(std::shared_ptr<TOutcomeReporter> reporter);
    // Refused at once (with an error) when they do not fit; answered later otherwise.
    void Pause(std::shared_ptr<TOutcomeReporter> reporter);
    void Resume(std::shared_ptr<TOutcomeReporter> reporter);
    // Once ended: every waiting request hears how (a failure nobody waits for is the user's),
    // the host stops showing it, and the outcome is returned for the history.
    TCaptureOutcome TellEnd();

private:
    void ShowInput();
    void Tick();
    void RecorderEvent(TRecorder::TEvent event);
    bool CheckPausable(TOutcomeReporter& reporter);

    TCaptureHost& FHost;
    TTell FTell;
    std::function<void()> FEnded;
    std::unique_ptr<TRecorder> FRecorder;
    std::unique_ptr<TInputOverlay> FInputOverlay;  // after the recorder: gone first
    TTimer* FTimer = nullptr;
    std::shared_ptr<TOutcomeReporter> FStarter;                 // until the encoder runs
    std::vector<std::shared_ptr<TOutcomeReporter>> FStoppers;  // until the file is complete
    std::vector<std::shared_ptr<TOutcomeReporter>> FPausers;   // until the part is finished
    std::vector<std::shared_ptr<TOutcomeReporter>> FResumers;  // until the encoder records again
    bool FShownPaused = false;
};

}  // namespace tovasen
