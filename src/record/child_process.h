#pragma once
// One console program run hidden as a child, with its standard input and output (error shares
// the output) on pipes. Nothing here needs a message loop: it works the same from the
// user-interface thread and from any worker.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/handles.h"
#include "record/stream_decoder.h"

namespace tovasen {

class ECreatePipeError : public Exception {
public:
    using Exception::Exception;
};
class ECreateProcessError : public Exception {
public:
    using Exception::Exception;
};

// The program's handles are made inheritable only under this lock, and only for the moment a
// process is created: a process started elsewhere without a list of its own finds none.
std::mutex& ProcessCreationLock();

// CreateProcessW that hands the new process exactly the handles in inherited (each made
// inheritable by the caller; none twice) and nothing else this program holds: a child that
// outlives us, such as the encoder, must not keep a launcher's pipe open. leaveJob: the process
// does not join a job this program runs in, where the job allows that. False with error set
// when it failed. This is the one place the program creates processes.
BOOL CreateInheritingProcess(std::wstring commandLine, DWORD flags, bool leaveJob, const std::wstring& environment,
                             const std::wstring& currentDir, const STARTUPINFOW& startup,
                             const std::vector<HANDLE>& inherited, PROCESS_INFORMATION& info, DWORD& error);

// What the child's output bytes are taken to be.
enum class TOutputEncoding { Ansi, Utf8 };

// Decodes output that arrives in pieces: a character cut between two reads waits for the rest
// of its bytes.
class TOutputDecoder {
public:
    explicit TOutputDecoder(TOutputEncoding encoding);
    std::wstring Decode(std::string_view bytes);
    // The end of the output: what is held back is decoded as it is.
    std::wstring Flush();

private:
    UINT FCodePage;
    bool FDoubleByte = false;
    std::string FHeld;
    TUtf8StreamDecoder FUtf8;
};

// Text in the ANSI code page, as a console program reads its input by default.
std::string EncodeAnsi(const std::wstring& text);

class TChildProcess;

struct TChildOptions {
    std::wstring CommandLine;             // program path and arguments, quoted by the caller
    std::wstring CurrentDir;              // empty: the caller's
    std::vector<std::wstring> Environment;  // "name=value" entries added to the inherited ones
    DWORD Priority = NORMAL_PRIORITY_CLASS;
    // True: the child and everything it starts sit in a kill-on-close job and never outlive
    // the TChildProcess (nor this program, should it crash). False: the child is on its own and
    // outlives both; it leaves a job this program runs in where the job allows that.
    bool EndWithParent = true;
    // Runs once the child exists, before its first instruction; a raise ends the child.
    std::function<void(TChildProcess& child)> OnCreated;
};

// The child from its creation: start, output, input, end. Raises ECreatePipeError or
// ECreateProcessError when it cannot be started (a child that cannot be put in its job is not
// started either). Destroying it stops the reader; a child that ends with its parent is ended.
class TChildProcess {
public:
    explicit TChildProcess(const TChildOptions& options);
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;
    ~TChildProcess();

    HANDLE Process() const noexcept { return FProcess.Get(); }
    HANDLE Input() const noexcept { return FInput.Get(); }
    const PROCESS_INFORMATION& Information() const noexcept { return FInfo; }

    // Set each time output arrives and when the output has ended.
    HANDLE OutputEvent() const noexcept;
    // Everything read since the last call. The reader pauses while a lot waits here.
    std::string TakeOutput();
    // Every writer of the output pipe is gone (the child and anything that inherited it) and
    // everything read has been taken.
    bool OutputEnded() const;
    // Gives up reading: for output held open by a grandchild that has nothing more to say.
    void StopReading() noexcept;

    // Writes to the child's input: false when the child has closed it.
    bool Write(std::string_view bytes);
    bool Exited() const noexcept { return WaitForSingleObject(FProcess.Get(), 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const noexcept;
    // Ends the child, and with a job everything it started.
    void Kill(UINT exitCode) noexcept;
    // A child that ends with its parent keeps its job open until the program ends, although
    // this object goes: for a child that was allowed to go on running.
    void KeepRunning() noexcept;

private:
    class TReader;

    UniqueKernelHandle FJob;
    UniqueKernelHandle FProcess, FThread;
    UniqueKernelHandle FOutput, FInput;  // the parent's ends
    PROCESS_INFORMATION FInfo{};
    std::unique_ptr<TReader> FReader;
};

struct TChildResult {
    std::string Output;
    DWORD ExitCode = 0;
    bool TimedOut = false;
};

// Runs a child to its end and collects what it prints, on the calling thread; a child still
// running after timeoutMs is ended (with everything it started) and what it printed is kept.
TChildResult RunChildToEnd(const TChildOptions& options, DWORD timeoutMs);

}  // namespace tovasen
