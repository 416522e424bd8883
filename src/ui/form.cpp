#include "ui/form.h"

#include "ui/application.h"
#include "ui/control.h"
#include "base/dpi_scale.h"
#include "ui/fonts.h"

namespace tovasen {

TForm::~TForm() {
    if (Application) Application->RemoveMessageFilter(this);
    DestroyHandle();  // controls go before the font they use
}

void TForm::Release() {
    if (Application) Application->ReleaseLater(this);
    else delete this;
}

bool TForm::IsForThisForm(const MSG& msg) const {
    return HandleAllocated() && (msg.hwnd == Handle() || IsChild(Handle(), msg.hwnd));
}

bool TForm::PreTranslateMessage(MSG& msg) {
    return FDialogKeys && IsForThisForm(msg) && IsDialogMessageW(Handle(), &msg);
}

void TForm::SetDialogKeys(bool enabled) {
    FDialogKeys = enabled;
    if (!Application) return;
    if (enabled) Application->AddMessageFilter(this);
    else Application->RemoveMessageFilter(this);
}

std::wstring TForm::Caption() const { return FCaption; }

void TForm::SetCaption(const std::wstring& caption) {
    FCaption = caption;
    if (HandleAllocated()) SetWindowTextW(Handle(), caption.c_str());
}

void TForm::Show() {
    ShowWindow(Handle(), SW_SHOW);
    BringToFront();
}

void TForm::Hide() { ShowWindow(Handle(), SW_HIDE); }

void TForm::BringToFront() {
    BringWindowToTop(Handle());
    SetForegroundWindow(Handle());
}

void TForm::Close() { SendMessageW(Handle(), WM_CLOSE, 0, 0); }

void TForm::HandleClose() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(canClose);
    if (!canClose) return;
    if (OnClose) OnClose();
    if (FModal) {
        if (ModalResult == mrNone) ModalResult = mrCancel;
        return;
    }
    Hide();
    if (Application && Application->MainForm() == this) Application->Terminate();
}

int TForm::ShowModal() {
    ModalResult = mrNone;
    FModal = true;
    HWND owner = GetWindow(Handle(), GW_OWNER);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    Show();
    MSG msg;
    while (ModalResult == mrNone && HandleAllocated()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave the quit for the main loop
            ModalResult = mrCancel;
            break;
        }
        if (IsForThisForm(msg) && IsDialogMessageW(Handle(), &msg)) continue;
        if (Application) {
            Application->DispatchOne(msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (HandleAllocated()) Hide();
    FModal = false;
    return ModalResult;
}

HFONT TForm::Font() {
    if (!FFont) {
        FFont = NewFont(ScaleValue(12));
    }
    return FFont.Get();
}

int TForm::Dpi() const {
    if (FDpi) return FDpi;
    const UINT dpi = HandleAllocated() ? GetDpiForWindow(Handle()) : 0;
    return dpi ? static_cast<int>(dpi) : 96;
}

void TForm::DpiChanged(int dpi, const RECT& suggested) {
    FDpi = dpi;
    const UniqueFont oldFont = std::move(FFont);  // in use by the controls until they get the new one
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // A fixed-size form keeps its design size; one the user can size keeps the suggested one.
    const bool sizeable = (GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_THICKFRAME) != 0;
    if (FClientWidth96 > 0 && !sizeable) ApplyClientSize();
    for (TComponent* component : Components()) {
        if (auto* control = dynamic_cast<TControl*>(component)) control->ApplyDpi();
    }
    InvalidateRect(Handle(), nullptr, TRUE);
}

int TForm::ScaleValue(int pixels96) const { return ScaleToDpi(pixels96, Dpi()); }

void TForm::SetClientSize96(int width, int height) {
    FClientWidth96 = width;
    FClientHeight96 = height;
    ApplyClientSize();
}

void TForm::ApplyClientSize() {
    const int width = ScaleValue(FClientWidth96), height = ScaleValue(FClientHeight96);
    RECT rect{0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(Dpi()));
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(Handle(), nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, flags);
    // The frame drawn may differ from the one computed (a frame still at the old DPI while
    // moving between monitors): correct by what the client area really became.
    RECT client{};
    GetClientRect(Handle(), &client);
    if (client.right != width || client.bottom != height) {
        SetWindowPos(Handle(), nullptr, 0, 0, rect.right - rect.left + width - client.right,
                     rect.bottom - rect.top + height - client.bottom, flags);
    }
}

void TForm::CenterOnScreen() {
    RECT window{};
    GetWindowRect(Handle(), &window);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &info);
    const RECT& work = info.rcWork;
    const int w = window.right - window.left, h = window.bottom - window.top;
    SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - w) / 2,
                 work.top + (work.bottom - work.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        HandleClose();
        return 0;
    case WM_COMMAND:
        if (lParam) return SendMessageW(reinterpret_cast<HWND>(lParam), CN_COMMAND, wParam, lParam);
        return TWindow::WndProc(msg, wParam, lParam);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU) return SendMessageW(item->hwndItem, CN_DRAWITEM, wParam, lParam);
        return TWindow::WndProc(msg, wParam, lParam);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // A control may choose its colours; otherwise it sits on the form's own background.
        if (LRESULT brush = SendMessageW(reinterpret_cast<HWND>(lParam), CN_CTLCOLOR, wParam, 0)) return brush;
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return static_cast<LRESULT>(GetClassLongPtrW(Handle(), GCLP_HBRBACKGROUND));
    }
    case WM_RBUTTONUP:
        if (OnRightClick) {
            OnRightClick();
            return 0;
        }
        return TWindow::WndProc(msg, wParam, lParam);
    case WM_DPICHANGED:
        if (lParam) DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_HELP:
        if (Application) Application->HelpRequested();
        return TRUE;
    default:
        return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
