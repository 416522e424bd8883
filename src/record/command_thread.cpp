#include "record/command_thread.h"

#include <algorithm>
#include <chrono>

#include "base/exception_text.h"
#include "base/log_event.h"

namespace tovasen {

// The worker's side of one run: the child, its decoder and its line splitter.
class TCommandRun::TWorker {
public:
    explicit TWorker(TCommandRun& run) : FRun(run), FDecoder(run.FSettings.Encoding) {}

    void Execute() {
        FChild = std::make_unique<TChildProcess>(FRun.FSettings.Child);
        FRun.FSink->Started(FChild->Information());
        FStart = FLastOutput = Clock::now();
        WaitLoop();
        Finish();
    }

private:
    using Clock = std::chrono::steady_clock;

    bool MayHandOver() const { return FRun.FOutstanding.load() < kMaxOutstanding || FRun.FDetached.load(); }

    DWORD NextTimeout() const {
        const TRunSettings& s = FRun.FSettings;
        auto next = Clock::time_point::max();
        // A limit of n seconds is passed once n + 1 whole seconds have gone by.
        if (s.MaxTimeAfterBeginning > 0) next = std::min(next, FStart + std::chrono::seconds(s.MaxTimeAfterBeginning + 1));
        if (s.MaxTimeAfterLastOutput > 0) next = std::min(next, FLastOutput + std::chrono::seconds(s.MaxTimeAfterLastOutput + 1));
        if (next == Clock::time_point::max()) return INFINITE;
        const auto now = Clock::now();
        if (next <= now) return 0;
        return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1);
    }

    bool TimeIsUp() const {
        const TRunSettings& s = FRun.FSettings;
        const auto now = Clock::now();
        const auto whole = [&](Clock::time_point since) {
            return std::chrono::duration_cast<std::chrono::seconds>(now - since).count();
        };
        return (s.MaxTimeAfterBeginning > 0 && whole(FStart) > s.MaxTimeAfterBeginning) ||
               (s.MaxTimeAfterLastOutput > 0 && whole(FLastOutput) > s.MaxTimeAfterLastOutput);
    }

    void WaitLoop() {
        const HANDLE waits[] = {FChild->OutputEvent(), FRun.FInputEvent.Get(), FChild->Process(),
                                FRun.FTerminateEvent.Get(), FRun.FTakenEvent.Get()};
        for (;;) {
            if (WaitForMultipleObjects(5, waits, FALSE, NextTimeout()) == WAIT_FAILED) {
                RaiseLastOSError(L"WaitForMultipleObjects");
            }
            // Each pass looks at everything: a flood of output must not starve the input.
            if (MayHandOver()) ProcessOutput(FChild->TakeOutput());
            WriteInput();
            if (FRun.FTerminate.load()) break;
            // The handle, not the exit code: a child may exit with the code 259 (STILL_ACTIVE).
            if (FChild->Exited()) break;
            if (TimeIsUp()) break;
        }
    }

    // What the child wrote last (often the most useful: its final error) may still be in the
    // pipe or held back by the reader. It is all read, at the pace the sink takes it.
    void DrainTail() {
        auto quietSince = Clock::now();
        const HANDLE waits[] = {FChild->OutputEvent(), FRun.FTakenEvent.Get()};
        for (;;) {
            if (MayHandOver()) {
                const std::string bytes = FChild->TakeOutput();
                if (!bytes.empty()) {
                    ProcessOutput(bytes);
                    quietSince = Clock::now();
                    continue;
                }
                if (FChild->OutputEnded()) return;
            } else {
                quietSince = Clock::now();  // waiting for the sink, not for the child
            }
            const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quietSince).count();
            if (quiet >= kDrainMs) {
                FChild->StopReading();
                ProcessOutput(FChild->TakeOutput());
                return;
            }
            WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(kDrainMs - quiet));
        }
    }

    void ProcessOutput(std::string_view bytes) {
        if (bytes.empty()) return;
        const TRunSettings& s = FRun.FSettings;
        const std::wstring text = FDecoder.Decode(bytes);
        std::vector<TRunEvent> events;
        if (s.WantChars) {
            events.reserve(text.size());
            for (wchar_t c : text) events.push_back({std::wstring(1, c), TOutputType::otEntireLine, true});
        }
        FSplit.clear();
        FSplitter.Feed(text, FSplit);
        for (TSplitLine& line : FSplit) {
            if (line.Type == TOutputType::otEntireLine) FLastOutput = Clock::now();
            events.push_back({std::move(line.Text), line.Type, false});
        }
        Hand(std::move(events));
    }

    void WriteInput() {
        const TRunSettings& s = FRun.FSettings;
        for (;;) {
            std::wstring text;
            {
                std::lock_guard<std::mutex> lock(FRun.FInputLock);
                if (FRun.FInput.empty() || FRun.FTerminate.load()) return;
                text = std::move(FRun.FInput.front());
                FRun.FInput.pop_front();
            }
            if (!FChild->Write(EncodeAnsi(text))) {
                // The child has closed its input: what is still queued has nowhere to go.
                std::lock_guard<std::mutex> lock(FRun.FInputLock);
                FRun.FInputClosed = true;
                FRun.FInput.clear();
                return;
            }
            if (!s.InputToOutput) continue;
            std::wstring shown = text;
            if (shown.size() >= 2 && shown.compare(shown.size() - 2, 2, L"\r\n") == 0) shown.resize(shown.size() - 2);
            FSplit.clear();
            FSplitter.Echo(shown, FSplit);
            std::vector<TRunEvent> events;
            for (TSplitLine& line : FSplit) events.push_back({std::move(line.Text), line.Type, false});
            Hand(std::move(events));
        }
    }

    void Hand(std::vector<TRunEvent>&& events) {
        if (events.empty()) return;
        ++FRun.FOutstanding;
        if (!FRun.FSink->Output(std::move(events))) {
            --FRun.FOutstanding;
            FRun.Detach();  // nobody will take them: stop waiting for that
        }
    }

    void Finish() {
        if (!FChild->Exited()) {
            FRun.FEndStatus = FRun.FTerminate.load() ? TEndStatus::esStop : TEndStatus::esTime;
            if (FRun.FSink->MayTerminate()) {
                FChild->Kill(0);
                WaitForSingleObject(FChild->Process(), kKillWaitMs);
            } else {
                FChild->KeepRunning();
            }
        } else {
            FRun.FEndStatus = TEndStatus::esProcess;
        }
        if (FChild->Exited()) SetEvent(FRun.FChildGone.Get());
        DrainTail();
        std::wstring tail = FDecoder.Flush();
        FSplit.clear();
        if (!tail.empty()) FSplitter.Feed(tail, FSplit);
        FSplitter.Finish(FSplit);
        std::vector<TRunEvent> events;
        for (TSplitLine& line : FSplit) {
            if (line.Type == TOutputType::otEntireLine) events.push_back({std::move(line.Text), line.Type, false});
        }
        Hand(std::move(events));
        FRun.FExitCode = FChild->ExitCode();
    }

    TCommandRun& FRun;
    std::unique_ptr<TChildProcess> FChild;
    TOutputDecoder FDecoder;
    TLineSplitter FSplitter;
    std::vector<TSplitLine> FSplit;
    Clock::time_point FStart, FLastOutput;
};

TCommandRun::TCommandRun(TRunSettings settings, std::shared_ptr<TRunSink> sink)
    : FSettings(std::move(settings)), FSink(std::move(sink)) {}

TCommandRun::~TCommandRun() = default;

std::shared_ptr<TCommandRun> TCommandRun::Start(TRunSettings settings, std::shared_ptr<TRunSink> sink) {
    std::shared_ptr<TCommandRun> run(new TCommandRun(std::move(settings), std::move(sink)));
    if (!run->FTerminateEvent || !run->FInputEvent || !run->FTakenEvent || !run->FChildGone) {
        RaiseLastOSError(L"CreateEvent");
    }
    auto* parameter = new std::shared_ptr<TCommandRun>(run);
    run->FThread.Reset(CreateThread(nullptr, 0, &TCommandRun::Main, parameter, 0, nullptr));
    if (!run->FThread) {
        delete parameter;
        RaiseLastOSError(L"CreateThread");
    }
    return run;
}

DWORD WINAPI TCommandRun::Main(void* parameter) {
    const std::shared_ptr<TCommandRun> run = *static_cast<std::shared_ptr<TCommandRun>*>(parameter);
    delete static_cast<std::shared_ptr<TCommandRun>*>(parameter);
    try {
        TWorker(*run).Execute();  // the child's handles and job close here, whatever happened
    } catch (...) {
        LogCaught(L"command-thread", std::current_exception());
        run->FError = std::current_exception();
        run->FEndStatus = TEndStatus::esError;
    }
    SetEvent(run->FChildGone.Get());
    run->FSink->Ended();
    return 0;
}

void TCommandRun::Send(std::wstring text) {
    if (text.empty()) return;  // nothing to write
    {
        std::lock_guard<std::mutex> lock(FInputLock);
        if (FInputClosed) return;
        FInput.push_back(std::move(text));
    }
    SetEvent(FInputEvent.Get());
}

void TCommandRun::Stop() {
    FTerminate = true;
    SetEvent(FTerminateEvent.Get());
}

void TCommandRun::BatchTaken() {
    --FOutstanding;
    SetEvent(FTakenEvent.Get());
}

void TCommandRun::Detach() {
    FDetached = true;
    SetEvent(FTakenEvent.Get());
}

bool TCommandRun::WaitChildGone(DWORD timeoutMs) const {
    return WaitForSingleObject(FChildGone.Get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace tovasen
