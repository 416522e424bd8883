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

UniqueKernelHandle StartRecordingGuard(const std::wstring& program, HANDLE encoderProcess, HANDLE encoderInput) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    DWORD error = 0;
    BOOL created;
    {
        // The copies are inheritable only inside the lock: no other child gets them.
        std::lock_guard<std::mutex> lock(ProcessCreationLock());
        const UniqueKernelHandle parent = InheritableCopy(GetCurrentProcess(), SYNCHRONIZE, 0);
        const UniqueKernelHandle encoder = InheritableCopy(encoderProcess, SYNCHRONIZE | PROCESS_TERMINATE, 0);
        const UniqueKernelHandle input = InheritableCopy(encoderInput, 0, DUPLICATE_SAME_ACCESS);
        const std::wstring command = QuoteProgram(program) + L" " + kGuardArgument + L" " + Number(parent.Get()) + L" " +
                                     Number(encoder.Get()) + L" " + Number(input.Get());
        created = CreateInheritingProcess(command, CREATE_NO_WINDOW, true, {}, {}, startup, info, error);
    }
    if (!created) throw EOSError(L"CreateProcess " + program, error);
    CloseHandle(info.hThread);
    return UniqueKernelHandle(info.hProcess);
}

int RunRecordingGuard(const std::vector<std::wstring>& args) {
    if (args.size() != 3) return 2;
    const HANDLE parent = HandleArgument(args[0]);
    const HANDLE encoder = HandleArgument(args[1]);
    const HANDLE input = HandleArgument(args[2]);
    // Only what the program itself hands over: two processes and a pipe.
    if (!parent || !encoder || !input || !GetProcessId(parent) || !GetProcessId(encoder) ||
        GetFileType(input) != FILE_TYPE_PIPE) {
        return 2;
    }
    const HANDLE waits[] = {encoder, parent};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
    DWORD written = 0;
    WriteFile(input, "q", 1, &written, nullptr);
    if (WaitForSingleObject(encoder, kGuardGraceMs) == WAIT_TIMEOUT) TerminateProcess(encoder, 1);
    return 1;
}

}  // namespace tovasen
