#include "ui/tray_icon.h"

#include <algorithm>

#include "ui/menu.h"
#include "ui/timer.h"

namespace tovasen {

TTrayIcon::TTrayIcon(TComponent* owner, std::wstring name)
    : TWindow(owner, std::move(name)),
      FTaskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")),
      FRetryAdd(new TTimer(this, L"TmrRetryAdd", kRetryAddMs)) {
    FRetryAdd->OnTimer = [this] {
        if (FVisible && !FShown) Add();
    };
    TCreateParams params;
    params.ClassName = kWindowClass;
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW;
    params.X = params.Y = params.Width = params.Height = 0;
    CreateHandle(params);
    // The shell's broadcast may come from a process of lower integrity.
    ChangeWindowMessageFilterEx(Handle(), FTaskbarCreated, MSGFLT_ALLOW, nullptr);
}

TTrayIcon::~TTrayIcon() { Remove(); }

NOTIFYICONDATAW TTrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = Handle();
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = FIcon;
    const size_t n = std::min(FHint.size(), std::size(data.szTip) - 1);
    std::copy_n(FHint.c_str(), n, data.szTip);
    return data;
}

void TTrayIcon::Add() {
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    FShown = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    FRetryAdd->SetEnabled(!FShown);
}

void TTrayIcon::Remove() {
    FRetryAdd->SetEnabled(false);
    if (!FShown) return;
    NOTIFYICONDATAW data = Data(0);
    Shell_NotifyIconW(NIM_DELETE, &data);
    FShown = false;
}

void TTrayIcon::Modify(UINT flags) {
    if (!FShown) return;
    NOTIFYICONDATAW data = Data(flags);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TTrayIcon::SetIcon(HICON icon) {
    FIcon = icon;
    Modify(NIF_ICON);
}

void TTrayIcon::SetHint(const std::wstring& hint) {
    FHint = hint;
    Modify(NIF_TIP);
}

void TTrayIcon::SetVisible(bool visible) {
    if (visible == FVisible) return;
    FVisible = visible;
    if (visible) Add();
    else Remove();
}

LRESULT TTrayIcon::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kCallbackMessage) {
        switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
            if (OnClick) OnClick();
            break;
        case WM_RBUTTONUP:
            if (PopupMenu) {
                POINT at{};
                GetCursorPos(&at);
                PopupMenu->Popup(at.x, at.y, Handle());
            }
            break;
        default:
            break;
        }
        return 0;
    }
    if (msg == FTaskbarCreated && FVisible) {
        // A new shell knows no icons; a shell that only announced itself again may still hold
        // ours, which NIM_ADD would refuse. Removing first serves both.
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
        Add();
        return 0;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
