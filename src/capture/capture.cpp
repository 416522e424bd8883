#include "capture/capture.h"

#include <dwmapi.h>

#include "capture/monitors.h"
#include "base/errors.h"
#include "base/os_version.h"

namespace tovasen {
namespace {

constexpr DWORD kCopyWithLayeredWindows = SRCCOPY | CAPTUREBLT;

void DrawCursor(HDC dc, const CURSORINFO& cursor, int left, int top) {
    // A hidden cursor (a video player, a game, a text field being typed in) is not in the picture.
    if (!(cursor.flags & CURSOR_SHOWING) || !cursor.hCursor) return;
    int x = cursor.ptScreenPos.x - left;
    int y = cursor.ptScreenPos.y - top;
    int width = 0, height = 0;  // none known: DrawIconEx takes the cursor's own size
    ICONINFO info{};
    if (GetIconInfo(cursor.hCursor, &info)) {
        const UniqueBitmap mask(info.hbmMask), color(info.hbmColor);
        x -= static_cast<int>(info.xHotspot);
        y -= static_cast<int>(info.yHotspot);
        // Its real size, which the user may have made larger than the default icon size. A
        // monochrome cursor keeps its AND mask and XOR mask one above the other in one bitmap.
        BITMAP bitmap{};
        if (color && GetObjectW(color.Get(), sizeof(bitmap), &bitmap)) {
            width = bitmap.bmWidth;
            height = bitmap.bmHeight;
        } else if (mask && GetObjectW(mask.Get(), sizeof(bitmap), &bitmap)) {
            width = bitmap.bmWidth;
            height = bitmap.bmHeight / 2;
        }
    }
    DrawIconEx(dc, x, y, cursor.hCursor, width, height, 0, nullptr, DI_NORMAL);
}

}  // namespace

RECT VisibleWindowRect(HWND window) {
    RECT rect{};
    BOOL composition = FALSE;
    if (WindowsMajorVersion() >= 6 && SUCCEEDED(DwmIsCompositionEnabled(&composition)) && composition &&
        DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &rect, sizeof(rect)) == S_OK) {
        return rect;
    }
    GetWindowRect(window, &rect);
    return rect;
}

TCapture::TCapture() : FDC(GetDC(nullptr)) {
    if (!FDC) RaiseLastOSError(L"GetDC(screen)");
}

TCapture::~TCapture() { ReleaseDC(nullptr, FDC); }

void TCapture::Capture(TCanvas& canvas, RECT rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // What the copy does not reach is black, as in a new bitmap, never what a reused one held
    // before (an earlier capture's pixels): Windows leaves the parts off the screen as they
    // were, and Wine's copy fails as a whole when the rectangle leaves the screen.
    const RECT screen = VirtualScreenRect();
    RECT inside{};
    if (!IntersectRect(&inside, &rect, &screen) || !EqualRect(&inside, &rect)) {
        PatBlt(canvas.Handle(), 0, 0, width, height, BLACKNESS);
    }
    if (!BitBlt(canvas.Handle(), 0, 0, width, height, FDC, rect.left, rect.top, kCopyWithLayeredWindows)) {
        PatBlt(canvas.Handle(), 0, 0, width, height, BLACKNESS);
    }
    if (ShowCursor) DrawMouse(canvas, rect.left, rect.top);
}

void TCapture::Prepare(TBitmap& bitmap, int width, int height) {
    if (bitmap.Width() != width || bitmap.Height() != height ||
        bitmap.PixelFormat() != TPixelFormat::pf32bit) {
        bitmap.SetPixelFormat(TPixelFormat::pf32bit);
        bitmap.SetSize(width, height);
    }
}

void TCapture::Capture(TBitmap& bitmap, RECT rect) {
    Prepare(bitmap, rect.right - rect.left, rect.bottom - rect.top);
    Capture(bitmap.Canvas(), rect);
}

void TCapture::Capture(TBitmap& bitmap, HWND handle, RECT& rect) {
    const RECT bounds = handle ? VisibleWindowRect(handle) : MonitorBounds(ScreenMonitors().at(
                                                                 static_cast<size_t>(CursorMonitor())));
    const int left = bounds.left, top = bounds.top;
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    Prepare(bitmap, width, height);
    rect = RECT{left, top, left + width, top + height};
    Capture(bitmap.Canvas(), rect);
}

void TCapture::DrawMouse(TCanvas& canvas, int left, int top) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof(cursor);
    if (GetCursorInfo(&cursor)) DrawCursor(canvas.Handle(), cursor, left, top);
}

int TCapture::CursorMonitor() const {
    POINT at{};
    GetCursorPos(&at);
    return MonitorIndexFromPoint(at);
}

}  // namespace tovasen
