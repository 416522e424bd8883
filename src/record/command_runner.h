#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"
#include "record/command_thread.h"
#include "ui/application.h"
#include "ui/component.h"

namespace tovasen {

class ECommandRunner : public Exception {
public:
    using Exception::Exception;
};

// Runs one console program hidden (see TChildProcess) and reports its output as lines on the
// user-interface thread: each run's worker (TCommandRun) hands its events to the poster, and
// they are delivered here in order, the end last and exactly once, even when a handler handles
// messages in the middle of a batch. A failed run ends with EndStatus esError and its Error;
// telling the user is the caller's business.
class TCommandRunner : public TComponent {
public:
    using TNewLineEvent = std::function<void(TCommandRunner& sender, const std::wstring& line, TOutputType type)>;
    using TNewCharEvent = std::function<void(TCommandRunner& sender, wchar_t c)>;
    using TTerminateProcessEvent = std::function<void(TCommandRunner& sender, bool& canTerminate)>;
    using TNotifyEvent = std::function<void(TCommandRunner& sender)>;

    // poster: how the worker reaches this thread; by default the application's queue.
    explicit TCommandRunner(TComponent* owner = nullptr, std::wstring name = {}, TPoster poster = {});
    // Ends a running child and waits for its worker for at most kDestroyWaitMs; events that are
    // still on their way do nothing once the runner is gone.
    ~TCommandRunner() override;

    static constexpr DWORD kDestroyWaitMs = 5000;

    // Program path and arguments, quoted by the caller.
    std::wstring CommandLine;
    std::wstring CurrentDir;              // empty: the caller's
    std::vector<std::wstring> Environment;  // "name=value" entries added to the inherited ones
    bool InputToOutput = false;           // echo written input into the output lines
    int MaxTimeAfterBeginning = 0;        // seconds; 0 or less: no limit
    int MaxTimeAfterLastOutput = 0;       // seconds without a finished line; 0 or less: no limit
    DWORD Priority = NORMAL_PRIORITY_CLASS;
    // False: the child outlives this program (see TChildOptions).
    bool EndWithParent = true;
    // Runs on the worker thread once the child exists, before it runs.
    std::function<void(TChildProcess& child)> OnChildCreated;
    // A caller list that receives the finished lines too; while it is set, Lines is kept.
    std::vector<std::wstring>* OutputLines = nullptr;

    TNewLineEvent OnNewLine;
    TNewCharEvent OnNewChar;
    TNotifyEvent OnTerminated;
    TTerminateProcessEvent OnTerminateProcess;

    void SetOutputEncoding(TOutputEncoding encoding);

    const std::vector<std::wstring>& Lines() const noexcept { return FLines; }
    DWORD ExitCode() const noexcept { return FExitCode; }
    TEndStatus EndStatus() const noexcept { return FLastRun ? FLastRun->EndStatus() : TEndStatus::esNone; }
    // Why the last run failed (EndStatus esError); null otherwise.
    const std::exception_ptr& Error() const noexcept { return FError; }
    // The child's ids; its handles are closed by the end of the run.
    const PROCESS_INFORMATION& ProcessInformation() const noexcept { return FProcessInformation; }
    bool IsRunning() const noexcept { return static_cast<bool>(FRun); }

    // Starts a run and returns at once.
    void Execute();
    // Queues text for the child's standard input, with CR LF when lineEnd. Text sent after the
    // child has closed its input is dropped.
    void SendLine(const std::wstring& value, bool lineEnd);
    // Asks the worker to end the child; returns at once.
    void Stop();
    // Waits, without handling messages, until the running child has exited; false after
    // timeoutMs. True when nothing runs.
    bool WaitChildGone(DWORD timeoutMs) const;

private:
    class TLink;
    void CheckNotRunning() const;
    void Deliver(std::vector<TRunEvent>& events, const std::shared_ptr<TLink>& link);
    void RunEnded();

    TPoster FPost;
    std::vector<std::wstring> FLines;
    DWORD FExitCode = 0;
    std::exception_ptr FError;
    PROCESS_INFORMATION FProcessInformation{};
    TOutputEncoding FOutputEncoding = TOutputEncoding::Ansi;
    std::shared_ptr<TLink> FLink;            // the current or last run's way back here
    std::shared_ptr<TCommandRun> FRun;       // while running
    std::shared_ptr<TCommandRun> FLastRun;   // the current or last run
};

// The class name of a run's error (ECreateProcessError, ...), for messages.
std::wstring RunnerExceptionClassName(const std::exception_ptr& error);

}  // namespace tovasen
