#include "record/child_process.h"

#include <atomic>
#include <chrono>

#include "base/code_page.h"
#include "base/log_event.h"
#include "record/command_line.h"

namespace tovasen {
namespace {

// The reader stops reading while this much output waits to be taken: a child that floods us
// waits in its own write instead of growing our memory.
constexpr std::size_t kMaxBuffered = 1 << 20;
constexpr DWORD kReadBlock = 4096;

// Jobs of children that were allowed to go on running: closing them would end the children,
// so they stay open until the program ends, and the children still end with it.
std::mutex gKeptJobsLock;
std::vector<UniqueKernelHandle> gKeptJobs;

[[noreturn]] void RaisePipeError() {
    throw ECreatePipeError(L"Error creating Pipe: " + SystemErrorText(GetLastError()));
}

void CheckPipe(BOOL ok) {
    if (!ok) RaisePipeError();
}

[[noreturn]] void RaiseProcessError(const std::wstring& commandLine, const std::wstring& reason) {
    throw ECreateProcessError(L"Error creating Process: " + commandLine + L" - (" + reason + L")");
}

std::wstring EnvironmentFor(const std::vector<std::wstring>& added) {
    if (added.empty()) return {};
    wchar_t* current = GetEnvironmentStringsW();
    std::wstring_view block;
    if (current) {
        const wchar_t* end = current;
        while (*end) end += wcslen(end) + 1;
        block = std::wstring_view(current, static_cast<std::size_t>(end - current));
    }
    std::wstring environment = BuildEnvironmentBlock(block, added);
    if (current) FreeEnvironmentStringsW(current);
    return environment;
}

UniqueKernelHandle NewKillOnCloseJob() {
    UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) RaiseLastOSError(L"CreateJobObject");
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        RaiseLastOSError(L"SetInformationJobObject");
    }
    return job;
}

bool InSomeJob() {
    BOOL inJob = FALSE;
    return IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) && inJob;
}

}  // namespace

BOOL CreateInheritingProcess(std::wstring commandLine, DWORD flags, bool leaveJob, const std::wstring& environment,
                             const std::wstring& currentDir, const STARTUPINFOW& startup,
                             const std::vector<HANDLE>& inherited, PROCESS_INFORMATION& info, DWORD& error) {
    STARTUPINFOEXW extended{};
    extended.StartupInfo = startup;
    std::vector<unsigned char> attributes;
    BOOL inherit = FALSE;
    if (!inherited.empty()) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            error = GetLastError();
            return FALSE;
        }
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, const_cast<HANDLE*>(inherited.data()),
                                       inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
            error = GetLastError();
            DeleteProcThreadAttributeList(list);
            return FALSE;
        }
        extended.lpAttributeList = list;
        extended.StartupInfo.cb = sizeof extended;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
        inherit = TRUE;
    }
    const DWORD leave = leaveJob && InSomeJob() ? CREATE_BREAKAWAY_FROM_JOB : 0;
    BOOL created = FALSE;
    for (const DWORD extra : {leave, DWORD{0}}) {
        std::wstring line = commandLine;  // CreateProcessW may write into it
        created = CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit, flags | extra,
                                 environment.empty() ? nullptr : const_cast<wchar_t*>(environment.data()),
                                 currentDir.empty() ? nullptr : currentDir.c_str(), &extended.StartupInfo, &info);
        error = GetLastError();
        // A job that forbids leaving it: the process stays in it, as it would without asking.
        if (created || !extra || error != ERROR_ACCESS_DENIED) break;
    }
    if (extended.lpAttributeList) DeleteProcThreadAttributeList(extended.lpAttributeList);
    return created;
}

std::mutex& ProcessCreationLock() {
    static std::mutex lock;
    return lock;
}

// --- Decoding ----------------------------------------------------------------------------------

TOutputDecoder::TOutputDecoder(TOutputEncoding encoding) : FCodePage(encoding == TOutputEncoding::Utf8 ? CP_UTF8 : GetACP()) {
    CPINFO info{};
    FDoubleByte = FCodePage != CP_UTF8 && GetCPInfo(FCodePage, &info) && info.MaxCharSize == 2;
}

std::wstring TOutputDecoder::Decode(std::string_view bytes) {
    if (FCodePage == CP_UTF8) return FUtf8.Decode(bytes);
    std::string joined = std::move(FHeld);
    FHeld.clear();
    joined.append(bytes);
    if (FDoubleByte) {
        std::size_t i = 0;
        while (i < joined.size()) i += IsDBCSLeadByteEx(FCodePage, static_cast<BYTE>(joined[i])) ? 2 : 1;
        if (i > joined.size()) {  // a lead byte whose second byte is still to come
            FHeld.assign(1, joined.back());
            joined.pop_back();
        }
    }
    return CodePageToWide(joined, FCodePage);
}

std::wstring TOutputDecoder::Flush() {
    if (FCodePage == CP_UTF8) return FUtf8.Flush();
    std::string held = std::move(FHeld);
    FHeld.clear();
    return CodePageToWide(held, FCodePage);
}

std::string EncodeAnsi(const std::wstring& text) { return WideToCodePage(text, kAnsiCodePage, TUnmappable::LookAlike); }

// --- Reader ------------------------------------------------------------------------------------

// The thread that blocks on the child's output and keeps the raw bytes until they are taken.
class TChildProcess::TReader {
public:
    explicit TReader(HANDLE pipe) : FPipe(pipe) {
        if (!FEvent || !FRoom) RaiseLastOSError(L"CreateEvent");
        FThread.Reset(CreateThread(nullptr, 0, &TReader::Main, this, 0, nullptr));
        if (!FThread) RaiseLastOSError(L"CreateThread");
    }
    TReader(const TReader&) = delete;
    TReader& operator=(const TReader&) = delete;
    ~TReader() { Stop(); }

    HANDLE Event() const noexcept { return FEvent.Get(); }

    std::string Take() {
        std::string out;
        {
            std::lock_guard<std::mutex> lock(FLock);
            out.swap(FBuffer);
        }
        SetEvent(FRoom.Get());
        return out;
    }

    bool Ended() {
        if (!FDone.load()) return false;
        std::lock_guard<std::mutex> lock(FLock);
        return FBuffer.empty();
    }

    void Stop() noexcept {
        if (!FThread) return;
        FStop = true;
        SetEvent(FRoom.Get());
        // The cancel may come before the read starts: repeat it until the thread has gone.
        while (WaitForSingleObject(FThread.Get(), 20) == WAIT_TIMEOUT) CancelSynchronousIo(FThread.Get());
        FThread.Reset();
        FDone = true;
        SetEvent(FEvent.Get());
    }

private:
    static DWORD WINAPI Main(void* self) {
        static_cast<TReader*>(self)->Run();
        return 0;
    }

    void Run() noexcept {
        char block[kReadBlock];
        while (!FStop) {
            DWORD read = 0;
            if (!ReadFile(FPipe, block, sizeof block, &read, nullptr)) {
                const DWORD error = GetLastError();
                if (error != ERROR_BROKEN_PIPE && error != ERROR_OPERATION_ABORTED) {
                    LogEvent(L"child-process", L"Reading the child's output failed: " + SystemErrorText(error));
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
            while (full && !FStop) {
                WaitForSingleObject(FRoom.Get(), INFINITE);
                std::lock_guard<std::mutex> lock(FLock);
                full = FBuffer.size() >= kMaxBuffered;
            }
        }
        FDone = true;
        SetEvent(FEvent.Get());
    }

    HANDLE FPipe;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FDone{false};
    UniqueKernelHandle FEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle FRoom{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::mutex FLock;
    std::string FBuffer;
    UniqueKernelHandle FThread;
};

// --- Child -------------------------------------------------------------------------------------

TChildProcess::TChildProcess(const TChildOptions& options) {
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
    if (options.EndWithParent) FJob = NewKillOnCloseJob();
    std::wstring environment = EnvironmentFor(options.Environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = inRead.Get();
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = outWrite.Get();

    // Suspended until it is in its job (or its guard is set), so nothing it starts escapes. No
    // console window: the child is hidden whatever kind of program it is.
    const DWORD flags = options.Priority | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
    BOOL created = FALSE;
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> lock(ProcessCreationLock());
        CheckPipe(SetHandleInformation(inRead.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
        CheckPipe(SetHandleInformation(outWrite.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT));
        created = CreateInheritingProcess(options.CommandLine, flags, !options.EndWithParent, environment,
                                          options.CurrentDir, startup, {inRead.Get(), outWrite.Get()}, FInfo, error);
        // Closed before the lock opens: no other child can inherit them from now on.
        inRead.Reset();
        outWrite.Reset();
    }
    if (!created) RaiseProcessError(options.CommandLine, SystemErrorText(error));
    FProcess.Reset(FInfo.hProcess);
    FThread.Reset(FInfo.hThread);
    try {
        if (FJob && !AssignProcessToJobObject(FJob.Get(), FProcess.Get())) {
            RaiseProcessError(options.CommandLine, L"AssignProcessToJobObject: " + SystemErrorText(GetLastError()));
        }
        FOutput = std::move(outRead);
        FInput = std::move(inWrite);
        if (options.OnCreated) options.OnCreated(*this);
        if (ResumeThread(FThread.Get()) == static_cast<DWORD>(-1)) RaiseLastOSError(L"ResumeThread");
        FReader = std::make_unique<TReader>(FOutput.Get());
    } catch (...) {
        TerminateProcess(FProcess.Get(), 1);
        throw;
    }
}

TChildProcess::~TChildProcess() {
    FReader.reset();
    // Closing the job (when there is one) ends whatever still runs in it.
}

HANDLE TChildProcess::OutputEvent() const noexcept { return FReader->Event(); }

std::string TChildProcess::TakeOutput() { return FReader->Take(); }

bool TChildProcess::OutputEnded() const { return FReader->Ended(); }

void TChildProcess::StopReading() noexcept { FReader->Stop(); }

bool TChildProcess::Write(std::string_view bytes) {
    DWORD written = 0;
    if (bytes.empty() || WriteFile(FInput.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE) return false;
    throw EOSError(L"WriteFile", error);
}

DWORD TChildProcess::ExitCode() const noexcept {
    DWORD code = 0;
    GetExitCodeProcess(FProcess.Get(), &code);
    return code;
}

void TChildProcess::Kill(UINT exitCode) noexcept {
    if (FJob) TerminateJobObject(FJob.Get(), exitCode);
    else TerminateProcess(FProcess.Get(), exitCode);
}

void TChildProcess::KeepRunning() noexcept {
    if (!FJob) return;
    std::lock_guard<std::mutex> lock(gKeptJobsLock);
    gKeptJobs.push_back(std::move(FJob));
}

TChildResult RunChildToEnd(const TChildOptions& options, DWORD timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto left = [&]() -> DWORD {
        const auto now = Clock::now();
        if (now >= deadline) return 0;
        return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
    };
    TChildProcess child(options);
    TChildResult result;
    for (;;) {
        result.Output += child.TakeOutput();
        if (child.OutputEnded()) break;
        const DWORD wait = left();
        if (wait == 0) break;
        WaitForSingleObject(child.OutputEvent(), wait);
    }
    if (WaitForSingleObject(child.Process(), left()) != WAIT_OBJECT_0) {
        result.TimedOut = true;
        child.Kill(1);
        WaitForSingleObject(child.Process(), 1000);
    }
    child.StopReading();
    result.Output += child.TakeOutput();
    result.ExitCode = child.ExitCode();
    return result;
}

}  // namespace tovasen
