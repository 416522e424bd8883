#include "support/process.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "base/module_path.h"
#include "base/utf_convert.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"

namespace tovasen::test {

std::wstring DistFolder() {
    const std::wstring relative = ExeFolder() + L"..\\bin\\";
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring TovasenExe() { return DistFolder() + L"Tovasen.exe"; }

void UseProgramTranslations() {
    HMODULE exe = LoadLibraryExW(TovasenExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe) throw std::runtime_error("cannot load Tovasen.exe's resources: " + std::to_string(GetLastError()));
    TranslationTable = LoadTranslationTable(exe);
    FreeLibrary(exe);
}

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments, const ChildOutput& output,
                           DWORD creationFlags) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    const bool redirected = output.out || output.err;
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.out;
        startup.hStdError = output.err;
    }
    // Wine now and then refuses a start with ERROR_INTERNAL_ERROR while the machine is busy
    // (seen under heavy load); a second try a moment later succeeds.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, redirected, creationFlags, nullptr, nullptr,
                           &startup, &info_)) {
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
            throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
        }
        Sleep(500);
    }
}

ChildProcess::~ChildProcess() {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        // Many cases end their program this way; one that waits on a box says which.
        const std::vector<HWND> boxes = ProcessWindows(info_.dwProcessId, L"#32770");
        if (std::any_of(boxes.begin(), boxes.end(), [](HWND box) { return IsWindowVisible(box) != FALSE; })) {
            std::fprintf(stderr, "[ left     ] process %lu ended while it showed:%s\n", info_.dwProcessId,
                         WideToUtf8(VisibleWindowsText(info_.dwProcessId)).c_str());
        }
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) {
    return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

}  // namespace tovasen::test

namespace tovasen::test {

std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* className) {
    struct Search {
        DWORD pid;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{pid, className, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[128] = {};
            GetClassNameW(hwnd, name, 128);
            if (owner == s->pid && (!s->className || lstrcmpW(name, s->className) == 0)) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring VisibleWindowsText(DWORD pid) {
    std::wstring text;
    for (HWND window : ProcessWindows(pid, nullptr)) {
        if (!IsWindowVisible(window)) continue;
        wchar_t name[128] = {}, title[256] = {}, message[1024] = {};
        GetClassNameW(window, name, 128);
        GetWindowTextW(window, title, 256);
        GetDlgItemTextW(window, 0xFFFF, message, 1024);  // a message box's text
        text += L" [" + std::wstring(name) + L" \"" + title + L"\"" + (*message ? L": " + std::wstring(message) : L"") + L"]";
    }
    return text;
}

HWND FindProcessWindow(DWORD pid, const wchar_t* className) {
    const std::vector<HWND> windows = ProcessWindows(pid, className);
    return windows.empty() ? nullptr : windows.front();
}

}  // namespace tovasen::test
