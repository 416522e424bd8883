#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/frm_tovasen.h"
#include "i18n/translate_component.h"
#include "ui/application.h"
#include "ui/handles.h"

namespace tovasen {
namespace {

constexpr wchar_t kMutexName[] = L"TovasenMutex";
constexpr DWORD kMutexAllAccess = 0x1F0001;

std::wstring FirstArgument() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring first = (args && count > 1) ? args[1] : L"";
    LocalFree(args);
    return first;
}

// Asks the running instance to exit and gives it about a second to go.
void Uninstall(HWND running) {
    SendMessageW(running, WM_USER, 2, 0);
    for (int i = 0; i < 10 && IsWindow(running); ++i) Sleep(100);
}

int RunInstance(const std::wstring& firstArgument) {
    // Held until the process ends: it is what tells later starts that we run.
    UniqueKernelHandle mutex(CreateMutexW(nullptr, TRUE, kMutexName));
    InitializeTranslation();
    TApplication application;
    application.Initialize();
    application.SetTitle(L"");
    auto* form = new TFrmTovasen(&application, firstArgument);
    application.SetMainForm(form);
    if (firstArgument == L"/start") application.ShowMainForm = false;
    application.Run();
    return 0;
}

}  // namespace

int Main() {
    const std::wstring first = FirstArgument();
    HWND running = FindWindowW(TFrmTovasen::kClassName, nullptr);
    if (first == L"/uninst") {
        Uninstall(running);
        return 0;
    }
    if (UniqueKernelHandle other{OpenMutexW(kMutexAllAccess, FALSE, kMutexName)}) {
        if (first != L"/start") SendMessageW(running, WM_USER, 1, 0);
        return 0;
    }
    return RunInstance(first);
}

}  // namespace tovasen

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return tovasen::Main(); }
