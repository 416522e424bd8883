#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "base/diagnostic_log.h"
#include "base/exception_text.h"
#include "base/handles.h"
#include "base/version_text.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "record/recording_guard.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kMutexName[] = L"TovasenMutex";
// How long a new start waits for an instance that is still ending (an update runs "/uninst"
// and at once "/inst"), and how long "/uninst" waits for the old process to be gone.
constexpr DWORD kHandOverMs = 5000;
constexpr DWORD kUninstallWaitMs = 10000;
// A running instance that handles no message for this long is hung, as the system counts it.
constexpr DWORD kAnswerMs = 5000;
constexpr DWORD kPollMs = 250;
// The exit code a hung instance is ended with, so whoever looks can tell what ended it.
constexpr UINT kEndedAsHung = 0xE0DE;

constexpr wchar_t kNotRespondingText[] = L"Tovasen이 실행 중이지만 응답하지 않습니다.";

// What "/uninst" tells its caller (the setup and the uninstaller wait for it).
enum UninstallExit : int { kInstanceGone = 0, kInstanceStayed = 1, kHungInstanceEnded = 2 };

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; args && i < count; ++i) out.emplace_back(args[i]);
    LocalFree(args);
    return out;
}

// Sends msg to the running instance's window with a time limit; false when the window is there
// but its thread did not handle the message in time (a window that went meanwhile answered).
bool Answers(HWND window, UINT msg = WM_NULL, WPARAM wParam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, msg, wParam, 0, SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0 || !IsWindow(window);
}

int EndHungInstance(HANDLE process) {
    if (!process || !TerminateProcess(process, kEndedAsHung)) return kInstanceStayed;
    WaitForSingleObject(process, kHandOverMs);
    return kHungInstanceEnded;
}

// Asks the running instance to exit and waits until its process has ended: the window goes
// before the process lets go of the mutex, and whoever starts next needs the mutex free. The
// request is posted: an instance that first tells the user something (a recording runs) keeps
// its box up without holding the setup. One that stops handling messages is ended, so setup
// and uninstall always finish; one that answers but stays is left running.
int Uninstall(HWND running) {
    if (!running) return kInstanceGone;
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    const UniqueKernelHandle process(
        processId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId) : nullptr);
    PostMessageW(running, WM_USER, 2, 0);
    const ULONGLONG deadline = GetTickCount64() + kUninstallWaitMs;
    for (;;) {
        if (process) {
            if (WaitForSingleObject(process.Get(), kPollMs) != WAIT_TIMEOUT) return kInstanceGone;
        } else {
            Sleep(kPollMs);
            if (!IsWindow(running)) return kInstanceGone;
        }
        if (!Answers(running)) return EndHungInstance(process.Get());
        if (GetTickCount64() >= deadline) return kInstanceStayed;
    }
}

// The one thing a second start shows: that the instance it would hand over to is hung.
void ReportNotResponding() {
    InitializeTranslation();
    CurrentLanguage = ResolveLanguage(TConfig().ReadOptionalString(L"language"), CurrentLanguage);
    MessageBoxW(nullptr, Translate(kNotRespondingText).c_str(), Translate(L"Tovasen").c_str(),
                MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
}

int RunInstance(const std::wstring& firstArgument) {
    InitializeTranslation();
    TApplication application;
    application.Initialize();
    application.SetTitle(L"");
    auto* form = new TFrmTovasen(&application, firstArgument);
    application.SetMainForm(form);
    if (firstArgument == L"/start") {
        application.ShowMainForm = false;
    } else {
        form->OnViewReady = [form] {
            form->Show();
            UpdateWindow(form->Handle());
        };
    }
    // Every pointer is set now; the start-up sequence may show dialogs.
    LogEvent(L"main", L"Tovasen " + GetVersionText(L"%d.%d.%d.%d") + L" started.");
    form->FormCreate();
    application.Run();
    LogEvent(L"main", L"Tovasen exited.");
    return 0;
}

// The mutex is held but no main window exists: an instance is starting or ending. Wait for it
// to decide. True when the old instance has gone and the mutex is ours now; false when the
// window of a running instance has appeared (or the wait ran out).
bool AwaitOtherInstance(HANDLE mutex, HWND& running) {
    for (DWORD waited = 0; waited < kHandOverMs; waited += 100) {
        const DWORD state = WaitForSingleObject(mutex, 100);
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) return true;
        running = FindWindowW(TFrmTovasen::kClassName, nullptr);
        if (running) return false;
    }
    return false;
}

}  // namespace

int Main() {
    StartDiagnosticLog();
    const std::vector<std::wstring> args = Arguments();
    const std::wstring first = args.empty() ? L"" : args[0];
    // A recording's guard is no instance: no window, no mutex.
    if (first == kGuardArgument) return RunRecordingGuard({args.begin() + 1, args.end()});
    HWND running = FindWindowW(TFrmTovasen::kClassName, nullptr);
    if (first == L"/uninst") return Uninstall(running);
    // Creating the mutex is the test and the claim in one step: of two starts at once, exactly
    // one creates it. It stays held until the process ends: it tells later starts that we run.
    UniqueKernelHandle mutex(CreateMutexW(nullptr, TRUE, kMutexName));
    const DWORD created = GetLastError();
    // A mutex we may not open belongs to an instance of another integrity level: it runs.
    if (created == ERROR_ALREADY_EXISTS || (!mutex && created == ERROR_ACCESS_DENIED)) {
        const bool ownedNow = mutex && !running && AwaitOtherInstance(mutex.Get(), running);
        if (!ownedNow) {
            if (first != L"/start" && running && !Answers(running, WM_USER, 1)) ReportNotResponding();
            return 0;
        }
    }
    return RunInstance(first);
}

}  // namespace tovasen

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Anything that escapes start-up or the loop is told, not lost in std::terminate.
    try {
        return tovasen::Main();
    } catch (...) {
        tovasen::LogCaught(L"main", std::current_exception());
        const std::wstring text = tovasen::ExceptionText(std::current_exception());
        MessageBoxW(nullptr, text.c_str(), L"Tovasen", MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
        return 1;
    }
}
