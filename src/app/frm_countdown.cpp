#include "app/frm_countdown.h"

#include <dwmapi.h>

#include <algorithm>

#include "base/errors.h"
#include "i18n/translation.h"
#include "ui/application.h"
#include "ui/fonts.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

#ifndef WDA_EXCLUDEFROMCAPTURE
constexpr DWORD WDA_EXCLUDEFROMCAPTURE = 0x11;
#endif

constexpr UINT kEscapeMessage = WM_APP + 0x310;
constexpr int kSide96 = 88;
constexpr int kGap96 = 20;
constexpr UINT kTickMs = 50;
// After the badge is hidden: time for the screen (and the windows that were under it) to
// repaint before the capture is taken.
constexpr auto kSettle = std::chrono::milliseconds(120);

// The countdown whose badge the keyboard hook tells about Esc; one at a time.
HWND ActiveBadge = nullptr;

}  // namespace

// --- TFrmCountdown -----------------------------------------------------------------------------

TFrmCountdown::TFrmCountdown() : TForm(nullptr, L"FrmCountdown") {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    params.Style = WS_POPUP;
    // Layered and transparent: clicks go through it to whatever the user is opening.
    params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;
    params.Width = kSide96;
    params.Height = kSide96;
    CreateHandle(params);
    SetLayeredWindowAttributes(Handle(), 0, 230, LWA_ALPHA);
    // Windows 10 2004 and later leave the badge out of every screen capture; older systems and
    // Wine ignore it, and the badge is hidden before the capture anyway.
    SetWindowDisplayAffinity(Handle(), WDA_EXCLUDEFROMCAPTURE);
}

void TFrmCountdown::ShowNear(POINT point) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info);
    const UINT dpi = GetDpiForWindow(Handle());
    const int side = MulDiv(kSide96, dpi ? static_cast<int>(dpi) : 96, 96);
    const int gap = MulDiv(kGap96, dpi ? static_cast<int>(dpi) : 96, 96);
    const RECT& work = info.rcWork;
    // Below right of the pointer; on the other side where the monitor ends.
    int x = point.x + gap, y = point.y + gap;
    if (x + side > work.right) x = point.x - gap - side;
    if (y + side > work.bottom) y = point.y - gap - side;
    x = std::clamp(x, static_cast<int>(work.left), std::max(static_cast<int>(work.left), static_cast<int>(work.right) - side));
    y = std::clamp(y, static_cast<int>(work.top), std::max(static_cast<int>(work.top), static_cast<int>(work.bottom) - side));
    UniqueRegion round(CreateEllipticRgn(0, 0, side + 1, side + 1));
    if (round && SetWindowRgn(Handle(), round.Get(), FALSE)) round.Release();  // the window owns it now
    SetWindowPos(Handle(), HWND_TOPMOST, x, y, side, side, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(Handle());
}

void TFrmCountdown::SetSeconds(int seconds) {
    if (seconds == FSeconds) return;
    FSeconds = seconds;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TFrmCountdown::Paint() {
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    RECT client{};
    GetClientRect(Handle(), &client);
    UniqueBrush background(CreateSolidBrush(RGB(28, 28, 32)));
    FillRect(dc, &client, background.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const int height = client.bottom - client.top;
    const UniqueFont big = NewFont(height * 45 / 100, FW_BOLD);
    const UniqueFont small = NewFont(height * 14 / 100);
    {
        ScopedSelect font(dc, big.Get());
        RECT number{client.left, client.top, client.right, client.top + height * 72 / 100};
        const std::wstring text = std::to_wstring(FSeconds);
        DrawTextW(dc, text.c_str(), -1, &number, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
    }
    {
        ScopedSelect font(dc, small.Get());
        SetTextColor(dc, RGB(190, 190, 200));
        RECT hint{client.left, client.top + height * 72 / 100, client.right, client.bottom};
        const std::wstring text = Translate(L"Esc 취소");
        DrawTextW(dc, text.c_str(), -1, &hint, DT_CENTER | DT_TOP | DT_SINGLELINE);
    }
}

LRESULT TFrmCountdown::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_KEYDOWN:
        if (wParam != VK_ESCAPE) break;
        [[fallthrough]];
    case kEscapeMessage:
        if (OnEscape) OnEscape();
        return 0;
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

// --- TCountdown --------------------------------------------------------------------------------

TCountdown::TCountdown() : FWindow(std::make_unique<TFrmCountdown>()) {
    FTimer = new TTimer(FWindow.get(), L"TmrCountdown", kTickMs);
    FTimer->OnTimer = [this] { Tick(); };
    FWindow->OnEscape = [this] {
        if (FRunning && !FSettling) Finish(false);
    };
}

TCountdown::~TCountdown() {
    if (FHook) UnhookWindowsHookEx(FHook);
    if (ActiveBadge == FWindow->Handle()) ActiveBadge = nullptr;
}

void TCountdown::Start(int seconds, std::function<void()> onElapsed, std::function<void()> onCancelled) {
    if (FRunning) throw Exception(L"A delayed capture is already counting down.");
    if (seconds < kMinSeconds || seconds > kMaxSeconds) {
        throw Exception(L"The delay must be " + std::to_wstring(kMinSeconds) + L" to " + std::to_wstring(kMaxSeconds) +
                        L" seconds.");
    }
    FOnElapsed = std::move(onElapsed);
    FOnCancelled = std::move(onCancelled);
    FRunning = true;
    FSettling = false;
    FDeadline = Clock::now() + std::chrono::seconds(seconds);
    // Esc reaches the program wherever the focus is: the user may be holding a menu open.
    FHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
    ActiveBadge = FWindow->Handle();
    FWindow->SetSeconds(seconds);
    POINT pointer{};
    GetCursorPos(&pointer);
    FWindow->ShowNear(pointer);
    FTimer->SetEnabled(true);
}

void TCountdown::Cancel() {
    if (FRunning) Finish(false);
}

void TCountdown::Tick() {
    const Clock::time_point now = Clock::now();
    if (FSettling) {
        if (now >= FSettled) Finish(true);
        return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FDeadline - now).count();
    if (left > 0) {
        FWindow->SetSeconds(static_cast<int>((left + 999) / 1000));
        return;
    }
    ShowWindow(FWindow->Handle(), SW_HIDE);
    // With composition on, wait until the desktop has been drawn without the badge.
    DwmFlush();
    FSettling = true;
    FSettled = now + kSettle;
}

void TCountdown::Finish(bool elapsed) {
    FTimer->SetEnabled(false);
    if (FHook) UnhookWindowsHookEx(std::exchange(FHook, nullptr));
    if (ActiveBadge == FWindow->Handle()) ActiveBadge = nullptr;
    ShowWindow(FWindow->Handle(), SW_HIDE);
    FRunning = false;
    FSettling = false;
    std::function<void()> report = elapsed ? std::move(FOnElapsed) : std::move(FOnCancelled);
    FOnElapsed = nullptr;
    FOnCancelled = nullptr;
    if (!report) return;
    // From the message loop: the owner may free this countdown in its callback.
    if (!Application || !Application->Queue(report)) report();
}

LRESULT CALLBACK TCountdown::KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && ActiveBadge &&
        reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode == VK_ESCAPE) {
        PostMessageW(ActiveBadge, kEscapeMessage, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace tovasen
