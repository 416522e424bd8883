#include "scroll/view_grabber.h"

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {
namespace {

constexpr DWORD kFirstPaintMs = 10;
constexpr DWORD kGrabIntervalMs = 15;
constexpr DWORD kWatchIntervalMs = 40;

}  // namespace

TViewGrabber::TViewGrabber(const RECT& view, std::function<void(DWORD ms)> wait)
    : FView(view), FWait(std::move(wait)), FKnownUnsteady(view.right - view.left, view.bottom - view.top) {
    FBitmap.SetPixelFormat(TPixelFormat::pf32bit);
    FBitmap.SetSize(Width(), Height());
}

ViewPixels TViewGrabber::Grab() {
    {
        WindowDC screen(nullptr);
        if (!screen.Get()) RaiseLastOSError(L"GetDC(screen)");
        // With CAPTUREBLT, as every capture of the program: layered windows are part of what the
        // user sees.
        if (!BitBlt(FBitmap.Canvas().Handle(), 0, 0, Width(), Height(), screen.Get(), FView.left, FView.top,
                    SRCCOPY | CAPTUREBLT)) {
            RaiseLastOSError(L"BitBlt(screen)");
        }
    }
    GdiFlush();
    ViewPixels view(PixelView{FBitmap.ScanLine(0), Width(), Height(), FBitmap.Stride(), 4});
    view.MarkUnsteadyFrom(FKnownUnsteady);
    return view;
}

ViewPixels TViewGrabber::Settle(DWORD timeoutMs) {
    FWait(kFirstPaintMs);
    ViewPixels previous = Grab();
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        FWait(kGrabIntervalMs);
        ViewPixels current = Grab();
        if (EqualWhereSteady(previous, current)) return current;
        if (GetTickCount64() >= deadline) {
            current.MarkChangesFrom(previous);
            FKnownUnsteady.MarkUnsteadyFrom(current);
            return current;
        }
        previous = std::move(current);
    }
}

void TViewGrabber::Watch(ViewPixels& view, DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    while (GetTickCount64() < deadline) {
        FWait(kWatchIntervalMs);
        view.MarkChangesFrom(Grab());
    }
    FKnownUnsteady.MarkUnsteadyFrom(view);
}

}  // namespace tovasen
