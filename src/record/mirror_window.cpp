#include "record/mirror_window.h"

#include <vector>

#include "base/errors.h"
#include "capture/monitors.h"
#include "record/ffmpeg_command.h"
#include "record/mirror_geometry.h"

namespace tovasen {
namespace {

constexpr wchar_t kMirrorClass[] = L"TVirtualScreen";

TRectI VirtualScreen() {
    const RECT r = VirtualScreenRect();
    return {r.left, r.top, r.right, r.bottom};
}

std::vector<TRectI> MonitorRects() {
    std::vector<TRectI> rects;
    for (HMONITOR monitor : ScreenMonitors()) {
        const RECT r = MonitorBounds(monitor);
        rects.push_back({r.left, r.top, r.right, r.bottom});
    }
    return rects;
}

// A region that became smaller, or that leaves the screen, shows a black margin rather than an
// old picture. Only the margin is painted: the encoder may take a frame at any moment.
void BlackenAround(HDC dc, int width, int height, const TRectI& picture) {
    PatBlt(dc, 0, 0, width, picture.top, BLACKNESS);
    PatBlt(dc, 0, picture.bottom, width, height - picture.bottom, BLACKNESS);
    PatBlt(dc, 0, picture.top, picture.left, picture.Height(), BLACKNESS);
    PatBlt(dc, picture.right, picture.top, width - picture.right, picture.Height(), BLACKNESS);
}

}  // namespace

TMirrorWindow::TMirrorWindow(TComponent* owner, std::optional<POINT> position) : TWindow(owner, L"Virtual"), FFixed(position) {
    TCreateParams params;
    params.ClassName = kMirrorClass;
    params.Caption = kMirrorTitle;
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE;
    params.Parent = GetDesktopWindow();
    params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const POINT at = Position();
    params.X = at.x;
    params.Y = at.y;
    params.Width = 320;
    params.Height = 240;
    CreateHandle(params);
    SetLayeredWindowAttributes(Handle(), 0, 255, LWA_ALPHA);
    SetSize(params.Width, params.Height);
}

POINT TMirrorWindow::Position() const {
    if (FFixed) return *FFixed;
    const TPointI at = MirrorPosition(MonitorRects());
    return {at.x, at.y};
}

void TMirrorWindow::SetSize(int width, int height) {
    FWidth = width;
    FHeight = height;
    const POINT at = Position();
    SetWindowPos(Handle(), HWND_NOTOPMOST, at.x, at.y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

LRESULT TMirrorWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // the frames are painted by the recorder; between frames the picture stays
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_DISPLAYCHANGE:
        // A monitor added or moved may now lie where the mirror is.
        if (!FFixed) SetSize(FWidth, FHeight);
        break;
    default:
        break;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

void PaintMirror(TCapture& capture, HWND mirror, int width, int height, const RECT& region) {
    const TMirrorCopy copy = MirrorCopy({region.left, region.top, region.right, region.bottom}, width, height, VirtualScreen());
    WindowDC dc(mirror);
    if (!dc.Get()) return;
    const TRectI picture{copy.destX, copy.destY, copy.destX + copy.source.Width(), copy.destY + copy.source.Height()};
    if (!copy.source.Empty()) {
        POINT old{};
        SetViewportOrgEx(dc.Get(), picture.left, picture.top, &old);
        TCanvas canvas(dc.Get());
        capture.Capture(canvas, RECT{copy.source.left, copy.source.top, copy.source.right, copy.source.bottom});
        SetViewportOrgEx(dc.Get(), old.x, old.y, nullptr);
    }
    BlackenAround(dc.Get(), width, height, picture);
}

TFramePainter::TFramePainter(HWND mirror, int width, int height, bool cursor)
    : FMirror(mirror), FWidth(width), FHeight(height), FCursor(cursor) {
    if (!FAsked || !FStop) RaiseLastOSError(L"CreateEvent");
    FThread = std::thread([this] { Run(); });
}

TFramePainter::~TFramePainter() {
    SetEvent(FStop.Get());
    FThread.join();
}

void TFramePainter::Paint(const RECT& region) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        FRegion = region;
    }
    SetEvent(FAsked.Get());
}

void TFramePainter::Run() {
    TCapture capture;  // its screen DC belongs to this thread
    capture.ShowCursor = FCursor;
    const HANDLE waits[] = {FStop.Get(), FAsked.Get()};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        RECT region;
        {
            std::lock_guard<std::mutex> lock(FLock);
            region = FRegion;
        }
        PaintMirror(capture, FMirror, FWidth, FHeight, region);
    }
}

}  // namespace tovasen
