#include "output/file_replace.h"

#include <windows.h>

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {
namespace {

[[noreturn]] void Fail(const std::wstring& path, DWORD code) {
    throw Exception(L"Cannot write \"" + path + L"\": " + SystemErrorText(code));
}

// A new file beside path that no one else uses; CREATE_NEW makes the name ours alone.
UniqueFile CreateTemporaryBeside(const std::wstring& path, std::wstring& name) {
    static LONG counter = 0;
    for (;;) {
        name = path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
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
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            const DWORD code = GetLastError();
            file.Reset();
            DeleteFileW(temporary.c_str());
            Fail(path, code ? code : ERROR_WRITE_FAULT);
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        Fail(path, code);
    }
}

}  // namespace tovasen
