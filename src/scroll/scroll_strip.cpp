#include "scroll/scroll_strip.h"

#include <algorithm>

#include "base/handles.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

constexpr int kHotKeyId = 0x5C01;
constexpr int kGap = 4;
constexpr COLORREF kTextColour = RGB(255, 255, 255);

RECT WorkAreaOf(const RECT& view) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromRect(&view, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcMonitor;
}

}  // namespace

TScrollStrip::TScrollStrip(const RECT& view) : TForm(nullptr, L"FrmScrollStrip"), FView(view) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    params.X = params.Y = 0;
    params.Width = params.Height = 1;
    params.Background = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    CreateHandle(params);
    // Esc goes to whichever window has the focus (usually the one being captured): a hot key
    // hears it anywhere. Where another program holds Esc, the key is polled instead.
    FHotKey = RegisterHotKey(Handle(), kHotKeyId, MOD_NOREPEAT, VK_ESCAPE) != FALSE;
}

TScrollStrip::~TScrollStrip() {
    if (FHotKey && HandleAllocated()) UnregisterHotKey(Handle(), kHotKeyId);
}

void TScrollStrip::SetText(const std::wstring& text) {
    if (text == FText) return;
    FText = text;
    Place();
    InvalidateRect(Handle(), nullptr, TRUE);
    UpdateWindow(Handle());
}

void TScrollStrip::Place() {
    SIZE extent{};
    {
        WindowDC dc(Handle());
        ScopedSelect font(dc.Get(), Font());
        GetTextExtentPoint32W(dc.Get(), FText.c_str(), static_cast<int>(FText.size()), &extent);
    }
    const int width = extent.cx + ScaleValue(16);
    const int height = extent.cy + ScaleValue(8);
    const RECT screen = WorkAreaOf(FView);
    const int x = std::clamp(static_cast<int>(FView.left), static_cast<int>(screen.left),
                             std::max(static_cast<int>(screen.left), static_cast<int>(screen.right) - width));
    int y;
    if (FView.bottom + kGap + height <= screen.bottom) {
        y = FView.bottom + kGap;
    } else if (FView.top - kGap - height >= screen.top) {
        y = FView.top - kGap - height;
    } else {
        y = FView.bottom - height;  // no room outside: over the view's bottom, hidden for grabs
    }
    const RECT strip{x, y, x + width, y + height};
    RECT overlap{};
    FCovers = IntersectRect(&overlap, &strip, &FView) != FALSE;
    SetWindowPos(Handle(), HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TScrollStrip::Conceal() {
    if (FCovers) ShowWindow(Handle(), SW_HIDE);
}

void TScrollStrip::Reveal() {
    if (FCovers) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

bool TScrollStrip::EscPressed() {
    if (!FHotKey && (GetAsyncKeyState(VK_ESCAPE) & 0x8000)) FEsc = true;
    return FEsc;
}

void TScrollStrip::Paint() {
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    if (dc) {
        RECT client{};
        GetClientRect(Handle(), &client);
        ScopedSelect font(dc, Font());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kTextColour);
        DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &client,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

LRESULT TScrollStrip::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_HOTKEY:
        if (wParam == kHotKeyId) FEsc = true;
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_PAINT:
        Paint();
        return 0;
    default:
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
