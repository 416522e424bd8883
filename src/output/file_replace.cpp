#include "output/file_replace.h"

#include <windows.h>

#include <cwchar>

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {
namespace {

[[noreturn]] void Fail(const std::wstring& path, DWORD code) {
    throw Exception(L"Cannot write \"" + path + L"\": " + SystemErrorText(code));
}

// The name the system takes for path however long it is: a full path of MAX_PATH characters or
// more needs the \\?\ form, which the system takes as it stands (so it is made from the full path).
std::wstring SystemName(const std::wstring& path) {
    if (path.size() < MAX_PATH - 1 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    if (full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// A new file in path's folder that no one else uses; CREATE_NEW makes the name ours alone. The
// name is short whatever path's is, so a file whose name or path is near the system's limits
// can still be replaced.
UniqueFile CreateTemporaryBeside(const std::wstring& path, std::wstring& name) {
    static LONG counter = 0;
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    for (;;) {
        wchar_t own[32] = {};
        std::swprintf(own, 32, L"~tv%lx-%lx.tmp", GetCurrentProcessId(),
                      static_cast<unsigned long>(InterlockedIncrement(&counter)));
        name = SystemName(folder + own);
        UniqueFile file(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) Fail(path, code);
    }
}

}  // namespace

void ReplaceFileWith(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    std::wstring temporary;
    {
        UniqueFile file = CreateTemporaryBeside(path, temporary);
        DWORD written = 0;
        // The bytes reach the disk before the name points at them: after a power cut the name
        // holds the old file or the whole new one, never a file of zeros.
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(file.Get())) {
            const DWORD code = GetLastError();
            file.Reset();
            DeleteFileW(temporary.c_str());
            Fail(path, code ? code : ERROR_WRITE_FAULT);
        }
    }
    if (!MoveFileExW(temporary.c_str(), SystemName(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        Fail(path, code);
    }
}

bool MoveFlushedFileOver(const std::wstring& from, const std::wstring& path) {
    {
        UniqueFile file(CreateFileW(SystemName(from).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !FlushFileBuffers(file.Get())) return false;
    }
    return MoveFileExW(SystemName(from).c_str(), SystemName(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace tovasen
