#pragma once
// One run of a child on a worker thread of its own: it writes what is queued for the child's
// input, cuts the output into lines, applies the time limits, ends the child when asked, and
// hands everything to a sink in order, the end last. The sink decides where events go (the
// runner posts them to the user-interface thread); nothing here needs a message loop.
#include <windows.h>

#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/handles.h"
#include "record/child_process.h"
#include "record/line_splitter.h"

namespace tovasen {

// How a run ended. esStill_Active while it runs, esNone before the first run.
enum class TEndStatus { esStop, esProcess, esStill_Active, esNone, esError, esTime };

// One line (or, with IsChar, one character) of a child's output.
struct TRunEvent {
    std::wstring Text;
    TOutputType Type = TOutputType::otEntireLine;
    bool IsChar = false;
};

// What a run needs, copied when it starts: the caller may change its own settings meanwhile.
struct TRunSettings {
    TChildOptions Child;
    bool InputToOutput = false;
    int MaxTimeAfterBeginning = 0;   // seconds; 0 or less: no limit
    int MaxTimeAfterLastOutput = 0;  // seconds without a finished line; 0 or less: no limit
    bool WantChars = false;          // every character as an event of its own too
    TOutputEncoding Encoding = TOutputEncoding::Ansi;
};

// Where a run hands what happens, called on its worker thread.
class TRunSink {
public:
    virtual ~TRunSink() = default;
    virtual void Started(const PROCESS_INFORMATION& info) = 0;
    // A batch of events. False when nobody will take them any more; the run then stops waiting
    // for them to be taken.
    virtual bool Output(std::vector<TRunEvent> events) = 0;
    // Whether a child that still runs may be ended now; the worker waits for the answer.
    virtual bool MayTerminate() = 0;
    // The run is over; nothing else is called after this.
    virtual void Ended() = 0;
};

class TCommandRun {
public:
    // After the child has exited, output still on its way is read until the pipe breaks, or
    // until nothing has come for this long (a grandchild may hold the pipe open in silence).
    static constexpr DWORD kDrainMs = 2000;
    // A child ended by Stop or a time limit is given this long to go before its handles close.
    static constexpr DWORD kKillWaitMs = 1000;
    // Batches handed to the sink and not yet taken: enough to keep both sides busy, few enough
    // that a flood of output stays bounded.
    static constexpr int kMaxOutstanding = 8;

    // Starts the worker thread; the child is started there.
    static std::shared_ptr<TCommandRun> Start(TRunSettings settings, std::shared_ptr<TRunSink> sink);
    ~TCommandRun();

    // Text for the child's input, already with its line end. Dropped once the child has closed
    // its input.
    void Send(std::wstring text);
    // Asks the worker to end the child (the sink may still refuse); returns at once.
    void Stop();
    // The sink's consumer has taken one batch.
    void BatchTaken();
    // Nobody takes batches any more: the worker no longer waits for them.
    void Detach();

    HANDLE Thread() const noexcept { return FThread.Get(); }
    TEndStatus EndStatus() const noexcept { return FEndStatus.load(); }
    // Valid once the sink has heard Ended.
    DWORD ExitCode() const noexcept { return FExitCode; }
    const std::exception_ptr& Error() const noexcept { return FError; }
    // Waits until the child has exited (or could not be started, or the run has ended without
    // it); false after timeoutMs.
    bool WaitChildGone(DWORD timeoutMs) const;

private:
    class TWorker;
    friend class TWorker;
    TCommandRun(TRunSettings settings, std::shared_ptr<TRunSink> sink);
    static DWORD WINAPI Main(void* parameter);

    TRunSettings FSettings;
    std::shared_ptr<TRunSink> FSink;
    UniqueKernelHandle FThread;

    std::atomic<bool> FTerminate{false};
    std::atomic<bool> FDetached{false};
    std::atomic<int> FOutstanding{0};
    UniqueKernelHandle FTerminateEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle FInputEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle FTakenEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Set once the child has exited, will never run, or is no longer followed by this run.
    UniqueKernelHandle FChildGone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    std::mutex FInputLock;
    std::deque<std::wstring> FInput;
    bool FInputClosed = false;  // under FInputLock

    std::atomic<TEndStatus> FEndStatus{TEndStatus::esStill_Active};
    DWORD FExitCode = 0;  // written by the worker before Ended
    std::exception_ptr FError;
};

}  // namespace tovasen
