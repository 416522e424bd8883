#include "select/frm_line.h"

#include <vector>

#include "base/errors.h"
#include "capture/capture.h"
#include "select/selection_pixels.h"

namespace tovasen {

namespace {

constexpr UINT WM_HANDBACK = WM_APP + 0x31;
constexpr int kModeActiveWindow = 3;
constexpr int kModeWindowControl = 4;

}  // namespace

std::uint8_t TFrmLine::DashPattern = 0;

HWND PickTarget(int mode, HWND picker, HWND mainWindow) {
    HWND target = nullptr;
    if (mode == kModeActiveWindow) {
        target = GetForegroundWindow();
    } else if (mode == kModeWindowControl) {
        POINT at{};
        if (!GetCursorPos(&at)) return nullptr;
        target = WindowFromPoint(at);
    }
    if (target && picker && target == picker) target = mainWindow;
    return target;
}

TFrmLine::TFrmLine(TComponent* owner, std::function<int()> mode, HWND mainWindow)
    : TForm(owner, L"FrmLine"), FMode(std::move(mode)), FMainWindow(mainWindow) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"";
    params.Style = WS_POPUP;
    // No owner and no taskbar button; never activated by a click on the outline.
    params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    params.X = 0;
    params.Y = 0;
    params.Width = 2;
    params.Height = 2;
    params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    CreateHandle(params);
    DashPattern = 0;
    Timer1 = new TTimer(this, L"Timer1", 10);
    Timer1->OnTimer = [this] { Timer1Timer(); };
}

TFrmLine::~TFrmLine() {
    if (Timer1) Timer1->SetEnabled(false);
}

void TFrmLine::ShowPicker() {
    Timer1Timer();
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    Timer1->SetEnabled(true);
}

void TFrmLine::RebuildRegion(int width, int height) {
    UniqueRegion outer(CreateRectRgn(0, 0, width, height));
    UniqueRegion inner(CreateRectRgn(1, 1, width - 1, height - 1));
    if (!outer || !inner) RaiseLastOSError(L"CreateRectRgn");
    CombineRgn(outer.Get(), outer.Get(), inner.Get(), RGN_DIFF);
    if (SetWindowRgn(Handle(), outer.Get(), TRUE)) outer.Release();
}

void TFrmLine::Timer1Timer() {
    HWND target = PickTarget(FMode ? FMode() : 0, Handle(), FMainWindow);
    if (!target) return;
    FTarget = target;
    const RECT r = VisibleWindowRect(target);
    const RECT bounds{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
    // A still mouse over a still window costs nothing but this comparison.
    if (!EqualRect(&bounds, &FBounds)) {
        const bool resized = bounds.right - bounds.left != FBounds.right - FBounds.left ||
                             bounds.bottom - bounds.top != FBounds.bottom - FBounds.top;
        FBounds = bounds;
        SetWindowPos(Handle(), HWND_TOPMOST, bounds.left, bounds.top, bounds.right - bounds.left,
                     bounds.bottom - bounds.top, SWP_NOACTIVATE);
        if (resized) RebuildRegion(bounds.right - bounds.left, bounds.bottom - bounds.top);
        ++FMoves;
    }
    if (Delay < 10) {
        ++Delay;
        return;
    }
    Delay = 0;
    DrawOutline();
}

void TFrmLine::DrawOutline() {
    const int width = FBounds.right - FBounds.left, height = FBounds.bottom - FBounds.top;
    if (width <= 0 || height <= 0) return;
    const TOutlineStrips strips = tovasen::DrawOutline(width, height, DashPattern);
    WindowDC dc(Handle());
    if (!dc.Get()) return;
    // Each strip goes out as one small picture: no pixel is set one at a time.
    auto put = [&](const std::vector<std::uint32_t>& pixels, int x, int y, int w, int h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc.Get(), x, y, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                          static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
    };
    put(strips.top, 0, 0, width, 1);
    put(strips.bottom, 0, height - 1, width, 1);
    put(strips.left, 0, 0, 1, height);
    put(strips.right, width - 1, 0, 1, height);
}

LRESULT TFrmLine::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ACTIVATE:
        // Give the focus back later, not from inside the activation itself.
        if (LOWORD(wParam) != WA_INACTIVE) PostMessageW(Handle(), WM_HANDBACK, 0, 0);
        break;
    case WM_HANDBACK:
        if (FMainWindow && IsWindowVisible(FMainWindow)) SetForegroundWindow(FMainWindow);
        return 0;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32515)));  // IDC_CROSS
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(Handle(), &ps);
        EndPaint(Handle(), &ps);
        DrawOutline();
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (Timer1 && (pos->flags & SWP_HIDEWINDOW)) Timer1->SetEnabled(false);
        break;
    }
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
