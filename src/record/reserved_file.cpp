#include "record/reserved_file.h"

#include <windows.h>

#include "base/errors.h"

namespace tovasen {

std::wstring ReserveFreeFile(const std::function<std::wstring(int attempt)>& name) {
    constexpr int kAttempts = 100;
    DWORD error = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring path = name(attempt);
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return path;
        }
        error = GetLastError();
        // Taken by a file, or by a folder (access denied): the next name.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) break;
    }
    throw EOSError(L"CreateFile " + name(0), error);
}

bool HasContent(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && (data.nFileSizeLow | data.nFileSizeHigh) != 0;
}

}  // namespace tovasen
