#include "record/command_runner.h"

#include <atomic>
#include <deque>

#include "base/exception_text.h"
#include "base/handles.h"
#include "record/command_line.h"

namespace tovasen {

// One run's way back to the user-interface thread. The worker posts every event through the
// poster; here they wait in one queue and are delivered in order. A handler that handles
// messages lets later posts in, but they only join the queue: the rest of the batch, and the
// end, still come after it.
class TCommandRunner::TLink : public TRunSink, public std::enable_shared_from_this<TLink> {
public:
    TLink(TPoster post, TCommandRunner* owner, bool askTerminate)
        : Owner(owner), FPost(std::move(post)), FAskTerminate(askTerminate) {}

    // User-interface thread only: null once the runner has gone or runs again.
    TCommandRunner* Owner;
    std::weak_ptr<TCommandRun> Run;
    // Set when the runner goes: a worker waiting for its answer stops waiting.
    UniqueKernelHandle OwnerGone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    void Started(const PROCESS_INFORMATION& info) override {
        FPost([self = shared_from_this(), info] {
            if (self->Owner) self->Owner->FProcessInformation = info;
        });
    }

    bool Output(std::vector<TRunEvent> events) override {
        return FPost([self = shared_from_this(), batch = std::move(events)]() mutable {
            self->Enqueue({std::move(batch), false});
        });
    }

    bool MayTerminate() override {
        if (!FAskTerminate) return true;
        struct TAnswer {
            std::atomic<bool> CanTerminate{true};
            UniqueKernelHandle Done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        };
        // Signals the answer when the call has run, and also when it is dropped unrun.
        struct TSignal {
            std::shared_ptr<TAnswer> Answer;
            ~TSignal() { SetEvent(Answer->Done.Get()); }
        };
        auto answer = std::make_shared<TAnswer>();
        auto signal = std::make_shared<TSignal>(TSignal{answer});
        const bool queued = FPost([self = shared_from_this(), signal] {
            TCommandRunner* owner = self->Owner;
            if (!owner || !owner->OnTerminateProcess) return;
            bool canTerminate = true;
            Guarded([&] { owner->OnTerminateProcess(*owner, canTerminate); });
            signal->Answer->CanTerminate = canTerminate;
        });
        signal.reset();
        if (!queued) return true;
        const HANDLE waits[] = {answer->Done.Get(), OwnerGone.Get()};
        return WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || answer->CanTerminate.load();
    }

    void Ended() override {
        FPost([self = shared_from_this()] { self->Enqueue({{}, true}); });
    }

private:
    struct TItem {
        std::vector<TRunEvent> Events;
        bool End = false;
    };

    void Enqueue(TItem item) {
        FPending.push_back(std::move(item));
        if (FDelivering) return;  // the delivery under way takes it in its turn
        FDelivering = true;
        while (!FPending.empty()) {
            TItem next = std::move(FPending.front());
            FPending.pop_front();
            if (next.End) {
                if (Owner) Owner->RunEnded();
                continue;
            }
            if (Owner) Owner->Deliver(next.Events, shared_from_this());
            if (const auto run = Run.lock()) run->BatchTaken();
        }
        FDelivering = false;
    }

    TPoster FPost;
    bool FAskTerminate;
    std::deque<TItem> FPending;
    bool FDelivering = false;
};

TCommandRunner::TCommandRunner(TComponent* owner, std::wstring name, TPoster poster)
    : TComponent(owner, std::move(name)), FPost(std::move(poster)) {}

TCommandRunner::~TCommandRunner() {
    if (FLink) {
        FLink->Owner = nullptr;
        SetEvent(FLink->OwnerGone.Get());
    }
    if (!FRun) return;
    FRun->Detach();
    FRun->Stop();
    WaitForSingleObject(FRun->Thread(), kDestroyWaitMs);
}

void TCommandRunner::CheckNotRunning() const {
    if (IsRunning()) throw ECommandRunner(L"CommandRunner still running");
}

void TCommandRunner::SetOutputEncoding(TOutputEncoding encoding) {
    CheckNotRunning();
    FOutputEncoding = encoding;
}

void TCommandRunner::Execute() {
    CheckNotRunning();
    if (CommandLine.empty()) throw ECommandRunner(L"No Commandline to execute");
    if (!FPost) {
        if (!Application) throw ECommandRunner(L"CommandRunner needs the application's message loop");
        FPost = Application->Poster();
    }
    TRunSettings settings;
    settings.Child.CommandLine = CommandLine;
    settings.Child.CurrentDir = CurrentDir;
    settings.Child.Environment = Environment;
    settings.Child.Priority = Priority;
    settings.Child.EndWithParent = EndWithParent;
    settings.Child.OnCreated = OnChildCreated;
    settings.InputToOutput = InputToOutput;
    settings.MaxTimeAfterBeginning = MaxTimeAfterBeginning;
    settings.MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
    settings.WantChars = static_cast<bool>(OnNewChar);
    settings.Encoding = FOutputEncoding;

    auto link = std::make_shared<TLink>(FPost, this, static_cast<bool>(OnTerminateProcess));
    std::shared_ptr<TCommandRun> run = TCommandRun::Start(std::move(settings), link);
    link->Run = run;
    if (FLink) FLink->Owner = nullptr;
    FLink = std::move(link);
    FRun = run;
    FLastRun = std::move(run);
    FLines.clear();
    FError = nullptr;
    FProcessInformation = {};
}

void TCommandRunner::SendLine(const std::wstring& value, bool lineEnd) {
    if (!IsRunning()) throw ECommandRunner(L"CommandRunner not running");
    FRun->Send(InputText(value, lineEnd));
}

void TCommandRunner::Stop() {
    if (FRun) FRun->Stop();
}

bool TCommandRunner::WaitChildGone(DWORD timeoutMs) const { return !FRun || FRun->WaitChildGone(timeoutMs); }

void TCommandRunner::Deliver(std::vector<TRunEvent>& events, const std::shared_ptr<TLink>& link) {
    for (TRunEvent& event : events) {
        // A handler may free the runner or start it again: nothing of it is touched after that.
        if (link->Owner != this) return;
        if (event.IsChar) {
            if (OnNewChar) Guarded([&] { OnNewChar(*this, event.Text[0]); });
            continue;
        }
        if (event.Type == TOutputType::otEntireLine && OutputLines) {
            FLines.push_back(event.Text);
            OutputLines->push_back(event.Text);
        }
        if (OnNewLine) Guarded([&] { OnNewLine(*this, event.Text, event.Type); });
    }
}

void TCommandRunner::RunEnded() {
    const std::shared_ptr<TCommandRun> run = std::move(FRun);
    FRun.reset();
    // The worker posted the end as its very last act: it is returning now.
    WaitForSingleObject(run->Thread(), kDestroyWaitMs);
    FExitCode = run->ExitCode();
    FError = run->Error();
    if (OnTerminated) Guarded([&] { OnTerminated(*this); });
}

std::wstring RunnerExceptionClassName(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ECreateProcessError&) {
        return L"ECreateProcessError";
    } catch (const ECreatePipeError&) {
        return L"ECreatePipeError";
    } catch (const ECommandRunner&) {
        return L"ECommandRunner";
    } catch (const EOSError&) {
        return L"EOSError";
    } catch (...) {
        return L"Exception";
    }
}

}  // namespace tovasen
