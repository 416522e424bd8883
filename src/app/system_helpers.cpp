#include "app/system_helpers.h"

#include <windows.h>

#include <shellapi.h>

#include "base/log_event.h"
#include "ui/application.h"
#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {

void ShellOpen(const std::wstring& target) {
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenFolder(const std::wstring& folder) {
    ShellExecuteW(nullptr, L"open", L"explorer.exe", folder.c_str(), nullptr, SW_SHOW);
}

namespace {

struct WaitTask {
    const std::function<void()>* proc;
    HANDLE done;
};

void CALLBACK RunWaitTask(PTP_CALLBACK_INSTANCE, void* context) {
    auto* task = static_cast<WaitTask*>(context);
    try {
        (*task->proc)();
    } catch (...) {
        // Not passed on: the caller learns the outcome from what proc left behind.
        LogCaught(L"wait-task", std::current_exception());
    }
    SetEvent(task->done);
}

void PumpMessages() {
    if (Application) {
        Application->ProcessMessages();
        return;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

void Wait(const std::function<void()>& proc) {
    UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) RaiseLastOSError(L"CreateEventW");
    WaitTask task{&proc, done.Get()};
    if (!TrySubmitThreadpoolCallback(RunWaitTask, &task, nullptr)) RaiseLastOSError(L"TrySubmitThreadpoolCallback");
    while (WaitForSingleObject(done.Get(), 10) == WAIT_TIMEOUT) PumpMessages();
}

}  // namespace tovasen
