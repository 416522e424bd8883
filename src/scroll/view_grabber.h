#pragma once
#include <windows.h>

#include <functional>

#include "scroll/view_pixels.h"
#include "image/bitmap.h"

namespace tovasen {

// Copies one rectangle of the screen, again and again, into views. It remembers the pixels it
// has seen change by themselves (an animation at a fixed place) and marks them in every view.
class TViewGrabber {
public:
    // wait handles this thread's messages for the given milliseconds, so the window being
    // captured (possibly on this very thread) can paint.
    TViewGrabber(const RECT& view, std::function<void(DWORD ms)> wait);

    const RECT& View() const noexcept { return FView; }
    int Width() const noexcept { return FView.right - FView.left; }
    int Height() const noexcept { return FView.bottom - FView.top; }

    // One copy of the screen now.
    ViewPixels Grab();
    // Copies until two copies in a row agree, leaving the window time to paint; what still
    // changes after timeoutMs is taken for animation and marked.
    ViewPixels Settle(DWORD timeoutMs);
    // Watches the view standing still for ms and marks in it whatever changes meanwhile.
    void Watch(ViewPixels& view, DWORD ms);

private:
    RECT FView;
    std::function<void(DWORD)> FWait;
    TBitmap FBitmap;
    ViewPixels FKnownUnsteady;  // only its marks matter
};

}  // namespace tovasen
