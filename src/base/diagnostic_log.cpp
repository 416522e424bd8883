#include "base/diagnostic_log.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string_view>

#include "base/handles.h"
#include "base/log_line.h"

namespace tovasen {
namespace {

constexpr std::wstring_view CurrentName = L"\\tovasen.log";
constexpr std::wstring_view PreviousName = L"\\tovasen.1.log";
// Tovasen and tovasen-cmd write the same file: one of them at a time decides on the rotation,
// so two cannot both move the file aside and lose the full one. Held only for one append.
constexpr wchar_t FileMutexName[] = L"Local\\TovasenDiagnosticLog";
constexpr DWORD FileMutexWaitMs = 500;

// Opened for each line and closed again: the main program and tovasen-cmd share the file,
// and a user can read, copy or delete it at any moment.
UniqueFile OpenForAppend(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

void AppendLine(const std::wstring& folder, std::wstring_view where, std::wstring_view what, HANDLE fileMutex) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const TLogTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    const std::string line = FormatLogLine(time, GetCurrentThreadId(), where, what);

    // A writer that holds the mutex too long (hung in a write) holds this line back only briefly:
    // it is written all the same, unguarded.
    const DWORD waited = fileMutex ? WaitForSingleObject(fileMutex, FileMutexWaitMs) : WAIT_FAILED;
    struct TRelease {
        HANDLE Mutex;
        ~TRelease() {
            if (Mutex) ReleaseMutex(Mutex);
        }
    } release{waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED ? fileMutex : nullptr};

    const std::wstring current = folder + std::wstring(CurrentName);
    UniqueFile file = OpenForAppend(current);
    if (file.Get() == INVALID_HANDLE_VALUE) {
        // The first line ever, or the folder was removed: make it and try once more.
        CreateDirectoryW(folder.c_str(), nullptr);
        file = OpenForAppend(current);
        if (file.Get() == INVALID_HANDLE_VALUE) return;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) &&
        LogNeedsRotation(static_cast<std::uint64_t>(size.QuadPart), line.size())) {
        file.Reset();
        const std::wstring previous = folder + std::wstring(PreviousName);
        // If the move fails (another process holds the old file open) the line still goes to
        // the full file: one line past the limit loses less than a lost line.
        MoveFileExW(current.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING);
        file = OpenForAppend(current);
        if (file.Get() == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::wstring DefaultLogFolder() {
    std::wstring folder;
    PWSTR local = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)) && local) folder = local;
    CoTaskMemFree(local);
    if (folder.empty()) {
        const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
        if (size > 1) {
            folder.resize(size);
            folder.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), size));
        }
    }
    if (folder.empty()) return {};
    return folder + L"\\Tovasen";
}

void StartDiagnosticLog(std::wstring folder) {
    if (folder.empty()) folder = DefaultLogFolder();
    if (folder.empty()) {
        SetLogSink(nullptr);
        return;
    }
    auto fileMutex = std::make_shared<UniqueKernelHandle>(CreateMutexW(nullptr, FALSE, FileMutexName));
    SetLogSink([folder = std::move(folder), fileMutex](std::wstring_view where, std::wstring_view what) {
        AppendLine(folder, where, what, fileMutex->Get());
    });
}

void StopDiagnosticLog() { SetLogSink(nullptr); }

}  // namespace tovasen
