#include "linux_sqlite.h"

#include <windows.h>

#include "base/utf_convert.h"

namespace tovasen::test {

std::string UnixPathOf(const std::wstring& file) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* path = toUnix(file.c_str());
    if (!path) return {};
    std::string out(path);
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

SqliteOutput LinuxSqlite(const std::wstring& database, const std::string& sql) {
    SqliteOutput output;
    const std::string path = UnixPathOf(database);
    wchar_t temporary[MAX_PATH] = {};
    wchar_t outFile[MAX_PATH] = {};
    if (path.empty() || !GetTempPathW(MAX_PATH, temporary) || !GetTempFileNameW(temporary, L"sql", 0, outFile)) {
        return output;
    }
    const std::string unixOut = UnixPathOf(outFile);
    // A Linux program's standard output does not reach a pipe of ours here: it writes a file,
    // and a last line says it is done (Wine gives no process handle to wait on).
    std::wstring command = L"/usr/bin/sqlite3 -cmd \".output '" + Utf8ToWide(unixOut) + L"'\" \"" + Utf8ToWide(path) +
                           L"\" \"" + Utf8ToWide(sql) + L" SELECT 'done.';\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\usr\\bin\\sqlite3", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        DeleteFileW(outFile);
        return output;
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    const std::string done = "done.\n";
    for (int waited = 0; waited < 20000; waited += 50) {
        HANDLE file = CreateFileW(outFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        std::string text;
        if (file != INVALID_HANDLE_VALUE) {
            char block[4096];
            DWORD got = 0;
            while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) text.append(block, got);
            CloseHandle(file);
        }
        if (text.size() >= done.size() && text.compare(text.size() - done.size(), done.size(), done) == 0) {
            output.ok = true;
            output.text = text.substr(0, text.size() - done.size());
            break;
        }
        Sleep(50);
    }
    DeleteFileW(outFile);
    return output;
}

}  // namespace tovasen::test
