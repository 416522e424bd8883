#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace tovasen::test {

// The distribution folder (build/win/bin) as seen from a test program in build/win/tests.
std::wstring DistFolder();
std::wstring TovasenExe();
// Makes the translations the program carries in its resources the current table.
void UseProgramTranslations();

// Where a child's standard output and error go: inheritable handles, or nothing to keep the
// defaults.
struct ChildOutput {
    HANDLE out = nullptr;
    HANDLE err = nullptr;
};

// A child process that is ended when the owner goes out of scope, so a failed test never
// leaves a program running into the next one. exe is found as the command line finds it.
class ChildProcess {
public:
    ChildProcess(const std::wstring& exe, const std::wstring& arguments, const ChildOutput& output = {},
                 DWORD creationFlags = 0);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // True when the process ended within timeoutMs; its exit code is then in ExitCode.
    bool WaitForExit(DWORD timeoutMs);
    DWORD ExitCode() const;
    DWORD Id() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace tovasen::test

namespace tovasen::test {

// The top-level windows of class className (null: of any class) that belong to process pid,
// hidden ones too.
std::vector<HWND> ProcessWindows(DWORD pid, const wchar_t* className);
// The first of them, or null.
HWND FindProcessWindow(DWORD pid, const wchar_t* className);
// Its visible top-level windows as " [class "title": box text]...", for a failure's message.
std::wstring VisibleWindowsText(DWORD pid);

}  // namespace tovasen::test
