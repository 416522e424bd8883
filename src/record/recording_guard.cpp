#include "record/recording_guard.h"

#include <cwchar>
#include <mutex>

#include "base/errors.h"
#include "record/child_process.h"
#include "record/command_line.h"

namespace tovasen {
namespace {

UniqueKernelHandle InheritableCopy(HANDLE from, DWORD access, DWORD options) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), from, GetCurrentProcess(), &copy, access, TRUE, options)) {
        RaiseLastOSError(L"DuplicateHandle");
    }
    return UniqueKernelHandle(copy);
}

std::wstring Number(HANDLE handle) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle)); }

HANDLE HandleArgument(const std::wstring& text) {
    wchar_t* end = nullptr;
    const unsigned long long value = std::wcstoull(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != L'\0') return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

}  // namespace

UniqueKernelHandle StartRecordingGuard(const std::wstring& program, HANDLE encoderProcess, HANDLE encoderInput,
                                       DWORD readyTimeoutMs) {
    const UniqueKernelHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) RaiseLastOSError(L"CreateEvent");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    DWORD error = 0;
    BOOL created;
    {
        std::lock_guard<std::mutex> lock(ProcessCreationLock());
        // Each with the access the guard uses: it asks both processes for their ids, waits for
        // both, may end the encoder, and says through the event that it watches.
        const UniqueKernelHandle parent = InheritableCopy(GetCurrentProcess(), SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, 0);
        const UniqueKernelHandle encoder = InheritableCopy(
            encoderProcess, SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, 0);
        const UniqueKernelHandle input = InheritableCopy(encoderInput, 0, DUPLICATE_SAME_ACCESS);
        const UniqueKernelHandle watching = InheritableCopy(ready.Get(), EVENT_MODIFY_STATE, 0);
        const std::wstring command = QuoteProgram(program) + L" " + kGuardArgument + L" " + Number(parent.Get()) + L" " +
                                     Number(encoder.Get()) + L" " + Number(input.Get()) + L" " + Number(watching.Get());
        created = CreateInheritingProcess(command, CREATE_NO_WINDOW, true, {}, {}, startup,
                                          {parent.Get(), encoder.Get(), input.Get(), watching.Get()}, info, error);
    }
    if (!created) throw EOSError(L"CreateProcess " + program, error);
    CloseHandle(info.hThread);
    UniqueKernelHandle guard(info.hProcess);
    const HANDLE waits[] = {ready.Get(), guard.Get()};
    const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, readyTimeoutMs);
    if (waited == WAIT_OBJECT_0) return guard;
    if (waited == WAIT_OBJECT_0 + 1) {
        DWORD code = 0;
        GetExitCodeProcess(guard.Get(), &code);
        throw Exception(L"The recording guard ended at once (exit code " + std::to_wstring(code) + L").");
    }
    TerminateProcess(guard.Get(), 1);
    throw Exception(L"The recording guard did not start within " + std::to_wstring(readyTimeoutMs / 1000) + L" s.");
}

int RunRecordingGuard(const std::vector<std::wstring>& args) {
    if (args.size() != 4) return 2;
    const HANDLE parent = HandleArgument(args[0]);
    const HANDLE encoder = HandleArgument(args[1]);
    const HANDLE input = HandleArgument(args[2]);
    const HANDLE ready = HandleArgument(args[3]);
    // Only what the program itself hands over: two processes, a pipe and an event.
    if (!parent || !encoder || !input || !ready || !GetProcessId(parent) || !GetProcessId(encoder) ||
        GetFileType(input) != FILE_TYPE_PIPE || !SetEvent(ready)) {
        return 2;
    }
    CloseHandle(ready);
    const HANDLE waits[] = {encoder, parent};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    DWORD written = 0;
    WriteFile(input, "q", 1, &written, nullptr);
    if (WaitForSingleObject(encoder, kGuardGraceMs) == WAIT_TIMEOUT) TerminateProcess(encoder, 1);
    return 1;
}

}  // namespace tovasen
