#include "record/command_runner.h"

#include <algorithm>
#include <chrono>
#include <deque>

#include "base/exception_text.h"
#include "base/module_path.h"
#include "record/command_line.h"
#include "record/stream_decoder.h"
#include "ui/application.h"

namespace tovasen {

// One line or character for the user-interface thread.
struct TRunEvent {
    std::wstring Text;
    TOutputType Type = TOutputType::otEntireLine;
    bool IsChar = false;
};

struct TCommandRunner::TRun {
    // Settings copied at Execute: the caller may change its own while this run goes on.
    std::wstring CommandLine, CurrentDir;
    std::vector<std::wstring> Environment;
    bool InputToOutput = false;
    int MaxTimeAfterBeginning = 0, MaxTimeAfterLastOutput = 0;
    DWORD Priority = NORMAL_PRIORITY_CLASS;
    bool WantChars = false;
    bool AskTerminate = false;
    TOutputEncoding Encoding = TOutputEncoding::Ansi;
    TCharDecoding Decoding;
    TCharEncoding Encoder;

    // Touched on the user-interface thread only; null once the runner is gone.
    TCommandRunner* Owner = nullptr;

    std::atomic<bool> Terminate{false};
    UniqueKernelHandle TerminateEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle InputEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Set by the user-interface thread each time it has taken a batch of events.
    UniqueKernelHandle DrainedEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<int> Outstanding{0};
    // Set when the runner is destroyed: a worker waiting for its answer stops waiting.
    UniqueKernelHandle OwnerGone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    std::mutex InputLock;
    std::deque<std::wstring> Input;
    bool InputClosed = false;  // under InputLock

    std::atomic<TEndStatus> EndStatus{TEndStatus::esStill_Active};
    // Written by the worker before it queues the end; read by the end call.
    DWORD ExitCode = 0;
    std::exception_ptr Error;
};

namespace {

// Batches of lines the worker may have queued before it waits for the user-interface thread to
// take them: enough to keep both busy, few enough that a flood of output stays bounded.
constexpr int kMaxOutstanding = 8;
// The reader stops reading while this much output waits for the worker.
constexpr std::size_t kMaxBuffered = 1 << 20;
constexpr DWORD kReadBlock = 1024;

// Processes whose run was told not to kill them keep their job open until the program ends,
// so they still do not outlive it.
std::mutex gKeptJobsLock;
std::vector<UniqueKernelHandle> gKeptJobs;

bool QueueToMain(std::function<void()> proc) {
    TApplication* app = Application;
    return app && app->Queue(std::move(proc));
}

[[noreturn]] void RaisePipeError() {
    throw ECreatePipeError(L"Error creating Pipe: " + SystemErrorText(GetLastError()));
}

void CheckPipe(BOOL ok) {
    if (!ok) RaisePipeError();
}

// Decodes bytes in the ANSI code page; a double-byte character cut between two reads waits for
// its second byte.
class TAnsiStreamDecoder {
public:
    TAnsiStreamDecoder() : FCodePage(GetACP()) {
        CPINFO info{};
        FDoubleByte = GetCPInfo(FCodePage, &info) && info.MaxCharSize == 2;
    }

    std::wstring Decode(std::string_view bytes) {
        if (FCodePage == CP_UTF8) return FUtf8.Decode(bytes);
        std::string joined = std::move(FHeld);
        FHeld.clear();
        joined.append(bytes);
        if (FDoubleByte) {
            std::size_t i = 0;
            while (i < joined.size()) i += IsDBCSLeadByteEx(FCodePage, static_cast<BYTE>(joined[i])) ? 2 : 1;
            if (i > joined.size()) {
                FHeld.assign(1, joined.back());
                joined.pop_back();
            }
        }
        return ToWide(joined);
    }

    std::wstring Flush() {
        if (FCodePage == CP_UTF8) return FUtf8.Flush();
        std::string held = std::move(FHeld);
        FHeld.clear();
        return ToWide(held);
    }

private:
    std::wstring ToWide(const std::string& bytes) const {
        if (bytes.empty()) return {};
        const int size = static_cast<int>(bytes.size());
        const int n = MultiByteToWideChar(FCodePage, 0, bytes.data(), size, nullptr, 0);
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        if (n > 0) MultiByteToWideChar(FCodePage, 0, bytes.data(), size, out.data(), n);
        return out;
    }

    UINT FCodePage;
    bool FDoubleByte = false;
    std::string FHeld;
    TUtf8StreamDecoder FUtf8;
};

std::string EncodeAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

// The thread that blocks on the child's output and hands the raw bytes to the worker.
class TReadPipe {
public:
    explicit TReadPipe(HANDLE pipe) : FPipe(pipe) {
        FThread.Reset(CreateThread(nullptr, 0, &TReadPipe::Main, this, 0, nullptr));
        if (!FThread) RaiseLastOSError(L"CreateThread");
    }
    TReadPipe(const TReadPipe&) = delete;
    TReadPipe& operator=(const TReadPipe&) = delete;
    ~TReadPipe() { Stop(); }

    HANDLE Event() const noexcept { return FEvent.Get(); }
    HANDLE Thread() const noexcept { return FThread.Get(); }

    // Everything read so far; wakes the reader when it waited for room.
    std::string Take() {
        std::string out;
        {
            std::lock_guard<std::mutex> lock(FLock);
            out.swap(FBuffer);
        }
        SetEvent(FRoom.Get());
        return out;
    }

    // True once the pipe is broken (every writer gone) and the reader has ended.
    bool WaitDone(DWORD timeoutMs) { return WaitForSingleObject(FThread.Get(), timeoutMs) == WAIT_OBJECT_0; }

    // Ends the reader, cancelling a read that blocks.
    void Stop() noexcept {
        if (!FThread) return;
        FStop = true;
        SetEvent(FRoom.Get());
        // The cancel may come before the read starts: repeat it until the thread has gone.
        while (WaitForSingleObject(FThread.Get(), 20) == WAIT_TIMEOUT) CancelSynchronousIo(FThread.Get());
        FThread.Reset();
    }

private:
    static DWORD WINAPI Main(void* self) {
        static_cast<TReadPipe*>(self)->Run();
        return 0;
    }

    void Run() noexcept {
        char block[kReadBlock];
        while (!FStop) {
            DWORD read = 0;
            if (!ReadFile(FPipe, block, sizeof block, &read, nullptr)) {
                const DWORD error = GetLastError();
                if (error != ERROR_BROKEN_PIPE && error != ERROR_OPERATION_ABORTED) {
                    OutputDebugStringW((L"TReadPipe: " + SystemErrorText(error)).c_str());
                }
                break;
            }
            if (read == 0) continue;
            bool full;
            {
                std::lock_guard<std::mutex> lock(FLock);
                FBuffer.append(block, read);
                full = FBuffer.size() >= kMaxBuffered;
            }
            SetEvent(FEvent.Get());
            if (full) WaitForSingleObject(FRoom.Get(), INFINITE);
        }
        SetEvent(FEvent.Get());
    }

    HANDLE FPipe;
    std::atomic<bool> FStop{false};
    UniqueKernelHandle FEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle FRoom{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::mutex FLock;
    std::string FBuffer;
    UniqueKernelHandle FThread;
};

// One run of the child, on the worker thread.
class TCommandThread {
public:
    explicit TCommandThread(std::shared_ptr<TCommandRunner::TRun> run) : FRun(std::move(run)) {}

    void Execute();

private:
    using Clock = std::chrono::steady_clock;

    void StartProcess();
    void WaitLoop();
    DWORD NextTimeout() const;
    bool TimeIsUp() const;
    void ProcessOutput(std::string_view bytes);
    void WriteInput();
    void Send(std::vector<TRunEvent>&& events);
    bool AskTerminate();
    void Finish();

    std::shared_ptr<TCommandRunner::TRun> FRun;
    UniqueKernelHandle FJob;
    UniqueKernelHandle FProcess, FProcessThread;
    UniqueKernelHandle FParentRead, FParentWrite;
    std::unique_ptr<TReadPipe> FReader;
    TAnsiStreamDecoder FAnsi;
    TUtf8StreamDecoder FUtf8;
    TLineSplitter FSplitter;
    std::vector<TSplitLine> FSplit;
    Clock::time_point FStart, FLastOutput;
};

void TCommandThread::Execute() {
    StartProcess();
    WaitLoop();
    Finish();
}

void TCommandThread::StartProcess() {
    TCommandRunner::TRun& run = *FRun;
    // Default security and no inheritance: only the child's two ends become inheritable, and
    // only for the moment of its creation.
    UniqueKernelHandle outRead, outWrite, inRead, inWrite;
    {
        HANDLE r = nullptr, w = nullptr;
        CheckPipe(CreatePipe(&r, &w, nullptr, 0));
        outRead.Reset(r);
        outWrite.Reset(w);
        CheckPipe(CreatePipe(&r, &w, nullptr, 0));
        inRead.Reset(r);
        inWrite.Reset(w);
    }

    FJob.Reset(CreateJobObjectW(nullptr, nullptr));
    if (!FJob) RaiseLastOSError(L"CreateJobObject");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(FJob.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        RaiseLastOSError(L"SetInformationJobObject");
    }

    std::wstring environment;
    if (!run.Environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        std::wstring_view block;
        if (current) {
            const wchar_t* end = current;
            while (*end) end += wcslen(end) + 1;
            block = std::wstring_view(current, static_cast<std::size_t>(end - current));
        }
        environment = BuildEnvironmentBlock(block, run.Environment);
        if (current) FreeEnvironmentStringsW(current);
    }

    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = inRead.Get();
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = outWrite.Get();
    startup.lpReserved = nullptr;
    startup.lpDesktop = nullptr;
    startup.lpTitle = nullptr;
    startup.cbReserved2 = 0;
    startup.lpReserved2 = nullptr;

    std::wstring commandLine = run.CommandLine;  // CreateProcessW may write into it
    PROCESS_INFORMATION info{};
    BOOL created;
    DWORD error;
    {
        std::lock_guard<std::mutex> lock(ProcessCreationLock());
        CheckPipe(SetHandleInformation(inRead.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
        CheckPipe(SetHandleInformation(outWrite.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
        // Suspended until it is in the job, so nothing it starts escapes the job. No console
        // window: the child is hidden whatever kind of program it is.
        created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 run.Priority | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                                 environment.empty() ? nullptr : environment.data(),
                                 run.CurrentDir.empty() ? nullptr : run.CurrentDir.c_str(), &startup, &info);
        error = GetLastError();
        // Closed before the lock opens: no other child can inherit them from now on.
        inRead.Reset();
        outWrite.Reset();
    }
    if (!created) {
        throw ECreateProcessError(L"Error creating Process: " + run.CommandLine + L" - (" + SystemErrorText(error) + L")");
    }
    FProcess.Reset(info.hProcess);
    FProcessThread.Reset(info.hThread);
    if (!AssignProcessToJobObject(FJob.Get(), FProcess.Get())) {
        const DWORD assignError = GetLastError();
        TerminateProcess(FProcess.Get(), 1);
        throw ECreateProcessError(L"Error creating Process: " + run.CommandLine + L" - (AssignProcessToJobObject: " +
                                  SystemErrorText(assignError) + L")");
    }
    if (ResumeThread(FProcessThread.Get()) == static_cast<DWORD>(-1)) RaiseLastOSError(L"ResumeThread");

    QueueToMain([run = FRun, info] {
        if (TCommandRunner* owner = run->Owner) owner->SetProcessInformation(run, info);
    });

    FParentRead = std::move(outRead);
    FParentWrite = std::move(inWrite);
    FReader = std::make_unique<TReadPipe>(FParentRead.Get());
    FStart = FLastOutput = Clock::now();
}

DWORD TCommandThread::NextTimeout() const {
    using std::chrono::milliseconds;
    const auto now = Clock::now();
    auto next = Clock::time_point::max();
    // A limit of n seconds is passed once n + 1 whole seconds have gone by.
    if (FRun->MaxTimeAfterBeginning > 0) {
        next = std::min(next, FStart + std::chrono::seconds(FRun->MaxTimeAfterBeginning + 1));
    }
    if (FRun->MaxTimeAfterLastOutput > 0) {
        next = std::min(next, FLastOutput + std::chrono::seconds(FRun->MaxTimeAfterLastOutput + 1));
    }
    if (next == Clock::time_point::max()) return INFINITE;
    if (next <= now) return 0;
    return static_cast<DWORD>(std::chrono::duration_cast<milliseconds>(next - now).count() + 1);
}

bool TCommandThread::TimeIsUp() const {
    const auto now = Clock::now();
    const auto whole = [&](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::seconds>(now - since).count();
    };
    return (FRun->MaxTimeAfterBeginning > 0 && whole(FStart) > FRun->MaxTimeAfterBeginning) ||
           (FRun->MaxTimeAfterLastOutput > 0 && whole(FLastOutput) > FRun->MaxTimeAfterLastOutput);
}

void TCommandThread::WaitLoop() {
    TCommandRunner::TRun& run = *FRun;
    const HANDLE waits[] = {FReader->Event(), run.InputEvent.Get(), FProcess.Get(), run.TerminateEvent.Get(),
                            run.DrainedEvent.Get()};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(5, waits, FALSE, NextTimeout());
        if (woke == WAIT_FAILED) RaiseLastOSError(L"WaitForMultipleObjects");
        // Each pass looks at everything: a flood of output must not starve the input.
        if (run.Outstanding.load() < kMaxOutstanding) ProcessOutput(FReader->Take());
        WriteInput();
        if (run.Terminate.load()) break;
        // The handle, not the exit code: a child may exit with the code 259 (STILL_ACTIVE).
        if (WaitForSingleObject(FProcess.Get(), 0) == WAIT_OBJECT_0) break;
        if (TimeIsUp()) break;
    }
}

void TCommandThread::ProcessOutput(std::string_view bytes) {
    if (bytes.empty()) return;
    TCommandRunner::TRun& run = *FRun;
    std::wstring text;
    if (run.Decoding) text = run.Decoding(bytes);
    else if (run.Encoding == TOutputEncoding::Utf8) text = FUtf8.Decode(bytes);
    else text = FAnsi.Decode(bytes);
    std::vector<TRunEvent> events;
    if (run.WantChars) {
        events.reserve(text.size());
        for (wchar_t c : text) events.push_back({std::wstring(1, c), TOutputType::otEntireLine, true});
    }
    FSplit.clear();
    FSplitter.Feed(text, FSplit);
    for (TSplitLine& line : FSplit) {
        if (line.Type == TOutputType::otEntireLine) FLastOutput = Clock::now();
        events.push_back({std::move(line.Text), line.Type, false});
    }
    Send(std::move(events));
}

void TCommandThread::WriteInput() {
    TCommandRunner::TRun& run = *FRun;
    for (;;) {
        std::wstring text;
        {
            std::lock_guard<std::mutex> lock(run.InputLock);
            if (run.Input.empty() || run.Terminate.load()) return;
            text = std::move(run.Input.front());
            run.Input.pop_front();
        }
        const std::string bytes = run.Encoder ? run.Encoder(text) : EncodeAnsi(text);
        DWORD written = 0;
        if (!bytes.empty() &&
            !WriteFile(FParentWrite.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_NO_DATA && error != ERROR_BROKEN_PIPE) throw EOSError(L"WriteFile", error);
            // The child has closed its input: what is still queued has nowhere to go.
            std::lock_guard<std::mutex> lock(run.InputLock);
            run.InputClosed = true;
            run.Input.clear();
            return;
        }
        if (run.InputToOutput) {
            std::wstring shown = text;
            if (shown.size() >= 2 && shown.compare(shown.size() - 2, 2, L"\r\n") == 0) shown.resize(shown.size() - 2);
            FSplit.clear();
            FSplitter.Echo(shown, FSplit);
            std::vector<TRunEvent> events;
            for (TSplitLine& line : FSplit) events.push_back({std::move(line.Text), line.Type, false});
            Send(std::move(events));
        }
    }
}

void TCommandThread::Send(std::vector<TRunEvent>&& events) {
    if (events.empty()) return;
    ++FRun->Outstanding;
    const bool queued = QueueToMain([run = FRun, batch = std::move(events)]() mutable {
        --run->Outstanding;
        SetEvent(run->DrainedEvent.Get());
        if (TCommandRunner* owner = run->Owner) owner->Deliver(run, batch);
    });
    if (!queued) --FRun->Outstanding;  // the loop has ended: nobody will take it
}

bool TCommandThread::AskTerminate() {
    if (!FRun->AskTerminate) return true;
    // Asked on the user-interface thread; a runner destroyed meanwhile lets the kill go ahead.
    struct Answer {
        bool CanTerminate = true;
        UniqueKernelHandle Done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    };
    auto answer = std::make_shared<Answer>();
    const bool queued = QueueToMain([run = FRun, answer] {
        TCommandRunner* owner = run->Owner;
        if (owner && owner->OnTerminateProcess) {
            Guarded([&] { owner->OnTerminateProcess(*owner, answer->CanTerminate); });
        }
        SetEvent(answer->Done.Get());
    });
    if (!queued) return true;
    const HANDLE waits[] = {answer->Done.Get(), FRun->OwnerGone.Get()};
    // A call dropped because the message loop ended never sets Done.
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 200);
        if (woke == WAIT_OBJECT_0) break;
        if (woke != WAIT_TIMEOUT) return true;
        TApplication* app = Application;
        if (!app || app->Terminated()) return true;
    }
    return answer->CanTerminate;
}

void TCommandThread::Finish() {
    TCommandRunner::TRun& run = *FRun;
    if (WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT) {
        run.EndStatus = run.Terminate.load() ? TEndStatus::esStop : TEndStatus::esTime;
        if (AskTerminate()) {
            TerminateProcess(FProcess.Get(), 0);
            WaitForSingleObject(FProcess.Get(), TCommandRunner::kKillWaitMs);
        } else {
            std::lock_guard<std::mutex> lock(gKeptJobsLock);
            gKeptJobs.push_back(std::move(FJob));
        }
    } else {
        run.EndStatus = TEndStatus::esProcess;
    }
    // What the child wrote last (often the most useful: its final error) is still in the pipe.
    if (!FReader->WaitDone(TCommandRunner::kDrainMs)) FReader->Stop();
    ProcessOutput(FReader->Take());
    FReader.reset();
    std::wstring tail = run.Decoding || run.Encoding == TOutputEncoding::Utf8 ? FUtf8.Flush() : FAnsi.Flush();
    FSplit.clear();
    if (!tail.empty()) FSplitter.Feed(tail, FSplit);
    FSplitter.Finish(FSplit);
    std::vector<TRunEvent> events;
    for (TSplitLine& line : FSplit) {
        if (line.Type == TOutputType::otEntireLine) events.push_back({std::move(line.Text), line.Type, false});
    }
    Send(std::move(events));
    DWORD code = 0;
    GetExitCodeProcess(FProcess.Get(), &code);
    run.ExitCode = code;
}

DWORD WINAPI CommandThreadMain(void* parameter) {
    std::unique_ptr<std::shared_ptr<TCommandRunner::TRun>> holder(static_cast<std::shared_ptr<TCommandRunner::TRun>*>(parameter));
    std::shared_ptr<TCommandRunner::TRun> run = *holder;
    try {
        TCommandThread(run).Execute();  // its handles and the job close here, whatever happened
    } catch (...) {
        OutputDebugStringW((L"TCommandThread: " + ExceptionText(std::current_exception())).c_str());
        run->Error = std::current_exception();
        run->EndStatus = TEndStatus::esError;
    }
    // The last call this run queues: every line is delivered before it.
    QueueToMain([run] { TCommandRunner::ThreadTerminatedHook(run); });
    return 0;
}

}  // namespace

std::mutex& ProcessCreationLock() {
    static std::mutex lock;
    return lock;
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

TCommandRunner::TCommandRunner(TComponent* owner, std::wstring name) : TComponent(owner, std::move(name)) {}

TCommandRunner::~TCommandRunner() {
    if (!FRun) return;
    FRun->Owner = nullptr;
    if (!FThread) return;
    SetEvent(FRun->OwnerGone.Get());
    Stop();
    WaitForSingleObject(FThread.Get(), kDestroyWaitMs);
}

TEndStatus TCommandRunner::EndStatus() const noexcept {
    return FRun ? FRun->EndStatus.load() : TEndStatus::esNone;
}

void TCommandRunner::CheckNotRunning() const {
    if (IsRunning()) throw ECommandRunner(L"CommandRunner still running");
}

void TCommandRunner::SetOutputEncoding(TOutputEncoding encoding) {
    CheckNotRunning();
    FOutputEncoding = encoding;
}

void TCommandRunner::SetOnCharDecoding(TCharDecoding handler) {
    CheckNotRunning();
    FOnCharDecoding = std::move(handler);
}

void TCommandRunner::SetOnCharEncoding(TCharEncoding handler) {
    CheckNotRunning();
    FOnCharEncoding = std::move(handler);
}

void TCommandRunner::Execute() {
    CheckNotRunning();
    if (CommandLine.empty()) throw ECommandRunner(L"No Commandline to execute");
    if (!Application) throw ECommandRunner(L"CommandRunner needs the application's message loop");
    auto run = std::make_shared<TRun>();
    if (!run->TerminateEvent || !run->InputEvent || !run->DrainedEvent || !run->OwnerGone) RaiseLastOSError(L"CreateEvent");
    run->CommandLine = CommandLine;
    run->CurrentDir = CurrentDir;
    run->Environment = Environment;
    run->InputToOutput = InputToOutput;
    run->MaxTimeAfterBeginning = MaxTimeAfterBeginning;
    run->MaxTimeAfterLastOutput = MaxTimeAfterLastOutput;
    run->Priority = Priority;
    run->WantChars = static_cast<bool>(OnNewChar);
    run->AskTerminate = static_cast<bool>(OnTerminateProcess);
    run->Encoding = FOutputEncoding;
    run->Decoding = FOnCharDecoding;
    run->Encoder = FOnCharEncoding;
    run->Owner = this;

    auto* parameter = new std::shared_ptr<TRun>(run);
    UniqueKernelHandle thread(CreateThread(nullptr, 0, &CommandThreadMain, parameter, 0, nullptr));
    if (!thread) {
        delete parameter;
        RaiseLastOSError(L"CreateThread");
    }
    if (FRun) FRun->Owner = nullptr;
    FRun = std::move(run);
    FLines.clear();
    FProcessInformation = {};
    FThread = std::move(thread);
}

void TCommandRunner::SendLine(const std::wstring& value, bool lineEnd) {
    if (!IsRunning()) throw ECommandRunner(L"CommandRunner not running");
    if (value.empty()) return;  // nothing to write
    {
        std::lock_guard<std::mutex> lock(FRun->InputLock);
        if (FRun->InputClosed) return;
        FRun->Input.push_back(InputText(value, lineEnd));
    }
    SetEvent(FRun->InputEvent.Get());
}

void TCommandRunner::Stop() {
    if (!IsRunning()) return;
    FRun->Terminate = true;
    SetEvent(FRun->TerminateEvent.Get());
}

void TCommandRunner::Deliver(const std::shared_ptr<TRun>& run, std::vector<TRunEvent>& events) {
    for (TRunEvent& event : events) {
        // A handler may free the runner: nothing of it is touched after that.
        if (run->Owner != this) return;
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

void TCommandRunner::SetProcessInformation(const std::shared_ptr<TRun>& run, const PROCESS_INFORMATION& info) {
    if (run == FRun) FProcessInformation = info;
}

void TCommandRunner::ThreadTerminatedHook(const std::shared_ptr<TRun>& run) {
    TCommandRunner* self = run->Owner;
    if (!self || self->FRun != run) return;
    // The worker has queued this as its very last act: it is returning now.
    WaitForSingleObject(self->FThread.Get(), kDestroyWaitMs);
    self->FThread.Reset();
    self->FExitCode = run->ExitCode;
    if (run->Error) {
        bool handled = false;
        if (self->OnExecuteError) {
            try {
                self->OnExecuteError(*self, run->Error, handled);
            } catch (...) {
                self->ShowExecuteError(std::current_exception());
                handled = true;
            }
        }
        if (!handled) self->ShowExecuteError(run->Error);
        if (run->Owner != self) return;  // freed while the box was up
    }
    if (self->OnTerminated) Guarded([&] { self->OnTerminated(*self); });
}

void TCommandRunner::ShowExecuteError(const std::exception_ptr& error) {
    std::wstring program = ModuleFileName(nullptr);
    program = program.substr(program.find_last_of(L"\\/") + 1);
    const std::wstring text = RunnerExceptionClassName(error) + L"\r\n" + ExceptionText(error);
    MessageBoxW(nullptr, text.c_str(), program.c_str(), MB_TASKMODAL | MB_ICONERROR);
}

}  // namespace tovasen
