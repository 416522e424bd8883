#pragma once
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "record/line_splitter.h"
#include "ui/component.h"

namespace tovasen {

class ECommandRunner : public Exception {
public:
    using Exception::Exception;
};
class ECreatePipeError : public Exception {
public:
    using Exception::Exception;
};
class ECreateProcessError : public Exception {
public:
    using Exception::Exception;
};

// How a run ended. esStill_Active while it runs, esNone before the first run.
enum class TEndStatus { esStop, esProcess, esStill_Active, esNone, esError, esTime };

// What the child's output bytes are taken to be when no decoding handler is set.
enum class TOutputEncoding { Ansi, Utf8 };

struct TRunEvent;

// Every process the program starts with inherited handles is created under this lock, so that
// one child never inherits the pipe ends meant for another.
std::mutex& ProcessCreationLock();

// Runs one console program hidden, with its standard input and output (error shares the output)
// on pipes, and reports its output as lines on the user-interface thread through the
// application's queue. Each run has a worker thread that owns the child and a reader thread on
// its output; the child lives in a job object, so it never outlives the run or this program.
// Every event of a run arrives in order, OnTerminated last and exactly once.
class TCommandRunner : public TComponent {
public:
    using TNewLineEvent = std::function<void(TCommandRunner& sender, const std::wstring& line, TOutputType type)>;
    using TNewCharEvent = std::function<void(TCommandRunner& sender, wchar_t c)>;
    using TErrorEvent = std::function<void(TCommandRunner& sender, const std::exception_ptr& error, bool& handled)>;
    using TTerminateProcessEvent = std::function<void(TCommandRunner& sender, bool& canTerminate)>;
    using TNotifyEvent = std::function<void(TCommandRunner& sender)>;
    // Run on the worker thread: raw bytes to text (the handler keeps any state across calls)
    // and text to the bytes written to the child.
    using TCharDecoding = std::function<std::wstring(std::string_view bytes)>;
    using TCharEncoding = std::function<std::string(const std::wstring& text)>;

    explicit TCommandRunner(TComponent* owner = nullptr, std::wstring name = {});
    // Stops a running child and waits for its worker for at most kDestroyWaitMs; events that
    // are still queued do nothing once the runner is gone.
    ~TCommandRunner() override;

    static constexpr DWORD kDestroyWaitMs = 5000;
    // After the child has exited, output still in the pipe is read for at most this long (a
    // grandchild may hold the pipe open); then the read is cancelled.
    static constexpr DWORD kDrainMs = 2000;
    // A child killed by Stop or a time limit is given this long to go before its handles close.
    static constexpr DWORD kKillWaitMs = 1000;

    // Program path and arguments, quoted by the caller.
    std::wstring CommandLine;
    std::wstring CurrentDir;              // empty: the caller's
    std::vector<std::wstring> Environment;  // "name=value" entries added to the inherited ones
    bool InputToOutput = false;           // echo written input into the output lines
    int MaxTimeAfterBeginning = 0;        // seconds; 0 or less: no limit
    int MaxTimeAfterLastOutput = 0;       // seconds without a finished line; 0 or less: no limit
    DWORD Priority = NORMAL_PRIORITY_CLASS;
    // A caller list that receives the finished lines too; while it is set, Lines is kept.
    std::vector<std::wstring>* OutputLines = nullptr;

    TNewLineEvent OnNewLine;
    TNewCharEvent OnNewChar;
    TErrorEvent OnExecuteError;
    TNotifyEvent OnTerminated;
    TTerminateProcessEvent OnTerminateProcess;

    TOutputEncoding OutputEncoding() const noexcept { return FOutputEncoding; }
    void SetOutputEncoding(TOutputEncoding encoding);
    void SetOnCharDecoding(TCharDecoding handler);
    void SetOnCharEncoding(TCharEncoding handler);

    const std::vector<std::wstring>& Lines() const noexcept { return FLines; }
    DWORD ExitCode() const noexcept { return FExitCode; }
    TEndStatus EndStatus() const noexcept;
    // The child's ids; its handles are closed by the end of the run.
    const PROCESS_INFORMATION& ProcessInformation() const noexcept { return FProcessInformation; }
    bool IsRunning() const noexcept { return static_cast<bool>(FThread); }

    // Starts a run and returns at once.
    void Execute();
    // Queues text for the child's standard input, with CR LF when lineEnd. Text sent after the
    // child has closed its input is dropped.
    void SendLine(const std::wstring& value, bool lineEnd);
    // Asks the worker to end the child; returns at once.
    void Stop();

    struct TRun;  // the state one run's threads share with the runner

    // Called through the application's queue by a run's worker, on the user-interface thread.
    void Deliver(const std::shared_ptr<TRun>& run, std::vector<TRunEvent>& events);
    void SetProcessInformation(const std::shared_ptr<TRun>& run, const PROCESS_INFORMATION& info);
    static void ThreadTerminatedHook(const std::shared_ptr<TRun>& run);

private:
    void CheckNotRunning() const;
    void ShowExecuteError(const std::exception_ptr& error);

    std::vector<std::wstring> FLines;
    DWORD FExitCode = 0;
    PROCESS_INFORMATION FProcessInformation{};
    TOutputEncoding FOutputEncoding = TOutputEncoding::Ansi;
    TCharDecoding FOnCharDecoding;
    TCharEncoding FOnCharEncoding;
    std::shared_ptr<TRun> FRun;  // the current or last run
    UniqueKernelHandle FThread;  // the current run's worker
};

// The class name shown in the runner's error box for an exception (ECreateProcessError, ...).
std::wstring RunnerExceptionClassName(const std::exception_ptr& error);

}  // namespace tovasen
