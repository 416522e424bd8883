#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/frm_tovasen.h"
#include "base/exception_text.h"
#include "base/handles.h"
#include "i18n/translate_component.h"
#include "record/recording_guard.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kMutexName[] = L"TovasenMutex";
constexpr DWORD kMutexAllAccess = 0x1F0001;
// How long a new start waits for an instance that is still ending (an update runs "/uninst"
// and at once "/inst"), and how long "/uninst" waits for the old process to be gone.
constexpr DWORD kHandOverMs = 5000;
constexpr DWORD kUninstallWaitMs = 10000;

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> out;
    for (int i = 1; args && i < count; ++i) out.emplace_back(args[i]);
    LocalFree(args);
    return out;
}

// Asks the running instance to exit and waits until its process has ended: the window goes
// before the process lets go of the mutex, and whoever starts next needs the mutex free.
void Uninstall(HWND running) {
    if (!running) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    const UniqueKernelHandle process(processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr);
    SendMessageW(running, WM_USER, 2, 0);
    if (process) {
        WaitForSingleObject(process.Get(), kUninstallWaitMs);
        return;
    }
    for (int i = 0; i < 10 && IsWindow(running); ++i) Sleep(100);
}

int RunInstance(const std::wstring& firstArgument, UniqueKernelHandle mutex) {
    // Held until the process ends: it is what tells later starts that we run.
    if (!mutex) mutex.Reset(CreateMutexW(nullptr, TRUE, kMutexName));
    InitializeTranslation();
    TApplication application;
    application.Initialize();
    application.SetTitle(L"");
    auto* form = new TFrmTovasen(&application, firstArgument);
    application.SetMainForm(form);
    if (firstArgument == L"/start") application.ShowMainForm = false;
    // Every pointer is set now; the start-up sequence may show dialogs.
    form->FormCreate();
    application.Run();
    return 0;
}

// The mutex is held but no main window exists: an instance is starting or ending. Wait for it
// to decide. Returns the mutex, owned, when the old instance has gone; null when the window of
// a running instance has appeared (or the wait ran out).
UniqueKernelHandle AwaitOtherInstance(HWND& running) {
    UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName));
    if (!mutex) return {};
    for (DWORD waited = 0; waited < kHandOverMs; waited += 100) {
        const DWORD state = WaitForSingleObject(mutex.Get(), 100);
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) return mutex;
        running = FindWindowW(TFrmTovasen::kClassName, nullptr);
        if (running) return {};
    }
    return {};
}

}  // namespace

int Main() {
    const std::vector<std::wstring> args = Arguments();
    const std::wstring first = args.empty() ? L"" : args[0];
    // A recording's guard is no instance: no window, no mutex.
    if (first == kGuardArgument) return RunRecordingGuard({args.begin() + 1, args.end()});
    HWND running = FindWindowW(TFrmTovasen::kClassName, nullptr);
    if (first == L"/uninst") {
        Uninstall(running);
        return 0;
    }
    UniqueKernelHandle owned;
    if (UniqueKernelHandle other{OpenMutexW(kMutexAllAccess, FALSE, kMutexName)}) {
        if (!running) owned = AwaitOtherInstance(running);
        if (!owned) {
            if (first != L"/start" && running) SendMessageW(running, WM_USER, 1, 0);
            return 0;
        }
    }
    return RunInstance(first, std::move(owned));
}

}  // namespace tovasen

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Anything that escapes start-up or the loop is told, not lost in std::terminate.
    try {
        return tovasen::Main();
    } catch (...) {
        const std::wstring text = tovasen::ExceptionText(std::current_exception());
        MessageBoxW(nullptr, text.c_str(), L"Tovasen", MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
        return 1;
    }
}
