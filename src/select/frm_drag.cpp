#include "select/frm_drag.h"

#include <windowsx.h>

#include <algorithm>

#include "base/errors.h"
#include "ui/application.h"

namespace tovasen {

TFrmDrag::TFrmDrag(TComponent* owner) : TForm(owner, L"FrmDrag") {
    FScreenRect.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    FScreenRect.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    FScreenRect.right = FScreenRect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    FScreenRect.bottom = FScreenRect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.X = FScreenRect.left;
    params.Y = FScreenRect.top;
    params.Width = FScreenRect.right - FScreenRect.left;
    params.Height = FScreenRect.bottom - FScreenRect.top;
    params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    CreateHandle(params);
    TmrActive = new TTimer(this, L"TmrActive", 100);
    TmrActive->OnTimer = [this] { TmrActiveTimer(); };
}

TFrmDrag::~TFrmDrag() = default;

TPixelRows TFrmDrag::Rows(TBitmap& bitmap) {
    return {bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(), bitmap.BitsPerPixel() / 8};
}

void TFrmDrag::TakeSnapshot() {
    const int width = FScreenRect.right - FScreenRect.left;
    const int height = FScreenRect.bottom - FScreenRect.top;
    // Three screen-sized pictures (about 25 MB each at 4K): a failed allocation raises here.
    for (TBitmap* bitmap : {&FScreen, &FDark, &FShown}) {
        bitmap->SetPixelFormat(TPixelFormat::pf24bit);
        bitmap->SetSize(width, height);
    }
    {
        WindowDC screen(nullptr);
        if (!screen.Get()) RaiseLastOSError(L"GetDC(screen)");
        if (!BitBlt(FScreen.Canvas().Handle(), 0, 0, width, height, screen.Get(), FScreenRect.left, FScreenRect.top,
                    SRCCOPY | CAPTUREBLT)) {
            RaiseLastOSError(L"BitBlt(screen)");
        }
    }
    GdiFlush();
    const TPixelRows dark = Rows(FDark);
    DarkenAll(Rows(FScreen), dark);
    const TPixelRows shown = Rows(FShown);
    for (int y = 0; y < height; ++y) std::copy_n(dark.Row(y), dark.stride, shown.Row(y));
}

std::unique_ptr<TBitmap> TFrmDrag::Capture(RECT& rect) {
    TakeSnapshot();
    FResult.reset();
    FDone = false;
    FSelecting = false;
    FCaptureRect = {};
    // The overlay takes the foreground as it shows, so a request from a console or with the
    // focus elsewhere does not find the application inactive and cancel at once.
    TmrActive->SetEnabled(true);
    ShowModal();
    TmrActive->SetEnabled(false);
    if (FSelecting) ReleaseCapture();
    if (FResult) rect = FResultRect;
    return std::move(FResult);
}

bool TFrmDrag::ApplicationActive() const {
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &process);
    return foreground && process == GetCurrentProcessId();
}

void TFrmDrag::TmrActiveTimer() {
    if (FDone) return;
    if (ApplicationActive()) {
        FWasActive = true;
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
        return;
    }
    // Only a switch away cancels; not having had the foreground yet does not.
    if (FWasActive) Cancel();
    else SetForegroundWindow(Handle());
}

void TFrmDrag::Select(POINT end) {
    FEndPoint = end;
    const TRectI before = FCaptureRect;
    FCaptureRect = ClipRect(SpanRect(FStartPoint.x, FStartPoint.y, FEndPoint.x, FEndPoint.y), FShown.Width(),
                            FShown.Height());
    const TRectI changed = ComposeSelection(Rows(FScreen), Rows(FDark), Rows(FShown), before, FCaptureRect);
    if (changed.Empty()) return;
    const RECT dirty{changed.left, changed.top, changed.right, changed.bottom};
    InvalidateRect(Handle(), &dirty, FALSE);
}

void TFrmDrag::MouseDown(POINT at) {
    if (FDone) return;
    FSelecting = true;
    SetCapture(Handle());
    FStartPoint = at;
    Select(at);
}

void TFrmDrag::MouseMove(POINT at) {
    if (FSelecting && !FDone) Select(at);
}

void TFrmDrag::MouseUp(POINT at) {
    if (!FSelecting || FDone) return;
    FSelecting = false;
    ReleaseCapture();
    Select(at);
    UpdateWindow(Handle());
    if (FCaptureRect.Empty()) return;  // a click: stay open for a new drag
    Finish();
}

void TFrmDrag::Finish() {
    auto result = std::make_unique<TBitmap>();
    result->SetSize(FCaptureRect.Width(), FCaptureRect.Height());
    // From the frozen picture itself: the inside of the selection is never dimmed.
    if (!BitBlt(result->Canvas().Handle(), 0, 0, FCaptureRect.Width(), FCaptureRect.Height(), FScreen.Canvas().Handle(),
                FCaptureRect.left, FCaptureRect.top, SRCCOPY)) {
        RaiseLastOSError(L"BitBlt(selection)");
    }
    FResultRect = {FScreenRect.left + FCaptureRect.left, FScreenRect.top + FCaptureRect.top,
                   FScreenRect.left + FCaptureRect.right, FScreenRect.top + FCaptureRect.bottom};
    FResult = std::move(result);
    FDone = true;
    ModalResult = mrOk;
}

void TFrmDrag::Cancel() {
    if (FDone) return;
    FDone = true;
    FResult.reset();
    ModalResult = mrCancel;
}

LRESULT TFrmDrag::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32515)));  // IDC_CROSS
        return TRUE;
    case WM_LBUTTONDOWN:
        MouseDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        MouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        MouseUp({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) Cancel();
        return 0;
    case WM_COMMAND:
        // The modal loop's dialog keys turn Esc into IDCANCEL.
        if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
            Cancel();
            return 0;
        }
        break;
    case WM_ACTIVATEAPP:
        if (wParam) FWasActive = true;
        else if (FWasActive) Cancel();
        break;
    case WM_CLOSE:
        Cancel();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        if (dc && !FShown.Empty()) {
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, FShown.Canvas().Handle(), r.left, r.top,
                   SRCCOPY);
        }
        EndPaint(Handle(), &ps);
        return 0;
    }
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
