#include "select/frm_drag.h"

#include <windowsx.h>

#include "capture/monitors.h"
#include "base/errors.h"
#include "ui/application.h"
#include "ui/paint_guard.h"

namespace tovasen {

namespace {

double MillisecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

RECT ToRect(const TRectI& r) { return {r.left, r.top, r.right, r.bottom}; }

// The last overlay's two pictures, kept for a while after it closed for the next overlay of the
// same size: a fresh screen-sized picture makes the system clear every page of it first (33 MB
// each at 4K), and the user would wait for that at every drag capture. Owned by the
// application, so they go with it at the latest; unused for 30 s, they go (a minute after the
// last capture the program is back to its idle size).
class TSparePictures : public TComponent {
public:
    static constexpr wchar_t kName[] = L"DragSparePictures";
    static constexpr UINT kKeepMs = 30000;

    static TSparePictures* Find() {
        return Application ? dynamic_cast<TSparePictures*>(Application->FindComponent(kName)) : nullptr;
    }

    explicit TSparePictures(TComponent* owner) : TComponent(owner, kName) {
        FExpiry = new TTimer(this, L"TmrExpire", kKeepMs);
        FExpiry->OnTimer = [this] {
            FExpiry->SetEnabled(false);
            FScreen.reset();
            FDark.reset();
        };
    }

    void Keep(std::unique_ptr<TBitmap> screen, std::unique_ptr<TBitmap> dark) {
        FScreen = std::move(screen);
        FDark = std::move(dark);
        FExpiry->SetEnabled(false);
        FExpiry->SetEnabled(true);
    }

    // The kept pictures when they are width x height; false, taking nothing, otherwise.
    bool Take(int width, int height, std::unique_ptr<TBitmap>& screen, std::unique_ptr<TBitmap>& dark) {
        if (!FScreen || !FDark || FScreen->Width() != width || FScreen->Height() != height) return false;
        screen = std::move(FScreen);
        dark = std::move(FDark);
        FExpiry->SetEnabled(false);
        return true;
    }

private:
    std::unique_ptr<TBitmap> FScreen, FDark;
    TTimer* FExpiry = nullptr;
};

}  // namespace

TFrmDrag::TFrmDrag(TComponent* owner) : TForm(owner, L"FrmDrag") {
    FScreenRect = VirtualScreenRect();
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

TFrmDrag::~TFrmDrag() {
    if (!FScreen || !FDark || !Application) return;
    TSparePictures* spare = TSparePictures::Find();
    if (!spare) spare = new TSparePictures(Application);
    spare->Keep(std::move(FScreen), std::move(FDark));
}

TPixelRows TFrmDrag::Rows(TBitmap& bitmap) {
    return {bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(), bitmap.BitsPerPixel() / 8};
}

void TFrmDrag::TakeSnapshot() {
    const LARGE_INTEGER start = Now();
    const int width = FScreenRect.right - FScreenRect.left;
    const int height = FScreenRect.bottom - FScreenRect.top;
    // Two screen-sized pictures (about 33 MB each at 4K): a failed allocation raises here. The
    // screen's own format: a copy into 24 bits would convert every pixel on the way in and on
    // the way out again.
    TSparePictures* spare = TSparePictures::Find();
    if (!spare || !spare->Take(width, height, FScreen, FDark)) {
        for (std::unique_ptr<TBitmap>* bitmap : {&FScreen, &FDark}) {
            *bitmap = std::make_unique<TBitmap>();
            (*bitmap)->SetPixelFormat(TPixelFormat::pf32bit);
            (*bitmap)->SetSize(width, height);
        }
    }
    {
        WindowDC screen(nullptr);
        if (!screen.Get()) RaiseLastOSError(L"GetDC(screen)");
        if (!BitBlt(FScreen->Canvas().Handle(), 0, 0, width, height, screen.Get(), FScreenRect.left, FScreenRect.top,
                    SRCCOPY | CAPTUREBLT)) {
            RaiseLastOSError(L"BitBlt(screen)");
        }
    }
    GdiFlush();
    const LARGE_INTEGER grabbed = Now();
    DarkenAll(Rows(*FScreen), Rows(*FDark));
    FShownAt = Now();
    FShowTimes = {};
    FShowTimes.grab = MillisecondsBetween(start, grabbed);
    FShowTimes.darken = MillisecondsBetween(grabbed, FShownAt);
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
    FCaptureRect = ClipRect(SpanRect(FStartPoint.x, FStartPoint.y, FEndPoint.x, FEndPoint.y),
                            FScreenRect.right - FScreenRect.left, FScreenRect.bottom - FScreenRect.top);
    if (before == FCaptureRect) return;
    // Only what changed sides is painted again: the strips between the two rectangles.
    UniqueRegion changed(CreateRectRgn(before.left, before.top, before.right, before.bottom));
    UniqueRegion now(CreateRectRgn(FCaptureRect.left, FCaptureRect.top, FCaptureRect.right, FCaptureRect.bottom));
    if (!changed || !now) {
        InvalidateRect(Handle(), nullptr, FALSE);
        return;
    }
    CombineRgn(changed.Get(), changed.Get(), now.Get(), RGN_XOR);
    InvalidateRgn(Handle(), changed.Get(), FALSE);
}

void TFrmDrag::Paint() {
    const LARGE_INTEGER start = Now();
    {  // the first paint's time includes EndPaint
        const TPaintGuard painting(Handle());
        HDC dc = painting.Dc();
        if (dc && FDark && FScreen) {
            // The dimmed picture around the selection, the frozen one inside it: nothing is
            // composed in memory, each part comes straight from its own picture.
            const RECT& area = painting.Dirty();
            const RECT selection = ToRect(FCaptureRect);
            const int saved = SaveDC(dc);
            if (!FCaptureRect.Empty()) {
                ExcludeClipRect(dc, selection.left, selection.top, selection.right, selection.bottom);
            }
            BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, FDark->Canvas().Handle(),
                   area.left, area.top, SRCCOPY);
            RestoreDC(dc, saved);
            RECT inside{};
            if (IntersectRect(&inside, &area, &selection)) {
                BitBlt(dc, inside.left, inside.top, inside.right - inside.left, inside.bottom - inside.top,
                       FScreen->Canvas().Handle(), inside.left, inside.top, SRCCOPY);
            }
        }
    }
    if (FShownAt.QuadPart != 0) {
        FShowTimes.window = MillisecondsBetween(FShownAt, start);
        FShowTimes.firstPaint = MillisecondsBetween(start, Now());
        FShownAt = {};
    }
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
    if (!BitBlt(result->Canvas().Handle(), 0, 0, FCaptureRect.Width(), FCaptureRect.Height(), FScreen->Canvas().Handle(),
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
    case WM_LBUTTONDBLCLK:  // a quick second press starts a drag like any other
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
    case WM_PAINT:
        Paint();
        return 0;
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
