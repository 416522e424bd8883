#include "app/window_functions.h"

#include "capture/monitors.h"
#include "ui/application.h"
#include "ui/form.h"
#include "base/os_version.h"

namespace tovasen {
namespace {

void BringForward(HWND window) {
    BringWindowToTop(window);
    SetForegroundWindow(window);
}

}  // namespace

bool AllowWindowMessage(UINT msg) {
    HMODULE user32 = LoadLibraryW(L"USER32.DLL");
    if (!user32) return false;
    using ChangeFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    const bool done = change && change(msg, MSGFLT_ADD);
    FreeLibrary(user32);
    return done;
}

void ForceForegroundWindow(HWND window) {
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    if (GetForegroundWindow() == window) return;
    if (WindowsMajorVersion() < 6) {
        BringForward(window);
        return;
    }
    const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    if (!AttachThreadInput(windowThread, foregroundThread, TRUE)) return;
    BringForward(window);
    AttachThreadInput(windowThread, foregroundThread, FALSE);
    if (GetForegroundWindow() == window) return;

    // The foreground lock still holds: lift it for one call and put it back.
    DWORD timeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    BringForward(window);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(timeout)),
                          SPIF_SENDCHANGE);
}

void HideMainWindow() {
    if (!Application) return;
    if (TForm* main = Application->MainForm()) main->Hide();
    ShowWindow(Application->Handle(), SW_HIDE);
}

void RestoreMainWindow() {
    if (!Application) return;
    TForm* main = Application->MainForm();
    if (!main || !IsWindow(main->Handle())) return;
    ShowWindow(Application->Handle(), SW_SHOW);
    Application->ShowMainForm = true;
    Application->Restore();
    if (!ScreenMonitors().empty()) {
        main->Show();
        ForceForegroundWindow(main->Handle());
    }
}

}  // namespace tovasen
