#pragma once
#include <windows.h>

#include "image/bitmap.h"

namespace tovasen {

// Copies screen pixels into bitmaps or onto canvases. It holds the screen DC for its whole
// life, and a bitmap that already has the right size and format is reused as it is, so
// repeated captures of one rectangle (a recording) allocate nothing.
class TCapture {
public:
    TCapture();
    TCapture(const TCapture&) = delete;
    TCapture& operator=(const TCapture&) = delete;
    ~TCapture();

    bool ShowCursor = true;
    HDC DC() const noexcept { return FDC; }

    // The rectangle's pixels onto the canvas at (0, 0), with the cursor when ShowCursor. Every
    // pixel of the rectangle is written: what lies off the screen is black.
    void Capture(TCanvas& canvas, RECT rect);
    // The bitmap becomes 32 bits per pixel and the rectangle's size, then gets its pixels.
    void Capture(TBitmap& bitmap, RECT rect);
    // A window's visible bounds (handle not null) or the monitor under the mouse (null);
    // rect receives the captured screen rectangle. Nothing is clipped to the screen.
    void Capture(TBitmap& bitmap, HWND handle, RECT& rect);

    // Draws the current cursor, when it shows, at its own size with its hot spot at its screen
    // position, seen from a canvas whose origin is the screen point (left, top).
    void DrawMouse(TCanvas& canvas, int left, int top);

private:
    static void Prepare(TBitmap& bitmap, int width, int height);
    int CursorMonitor() const;

    HDC FDC;
};

// The window-rectangle rule: the compositor's extended frame bounds when composition is on,
// otherwise GetWindowRect.
RECT VisibleWindowRect(HWND window);

}  // namespace tovasen
