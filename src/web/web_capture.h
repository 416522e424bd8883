#pragma once
#include <windows.h>

#include <functional>

#include "base/errors.h"
#include "web/page_extents.h"
#include "image/bitmap.h"

namespace tovasen {

// A web page as the full-page capture sees it: something that measures itself, can be laid
// out at a given size, draws itself into a device context, and goes back to its own layout.
class TWebPage {
public:
    virtual ~TWebPage() = default;
    // The document's extents; raises when there is no document to capture.
    virtual PageExtents Measure() = 0;
    // Device pixels per document pixel, as a DPI (96 is 100 %).
    virtual int ZoomDpi() = 0;
    // The margins at the DPI of the window that shows the page.
    virtual PageMargins Margins() = 0;
    // Lays the page out at width x height device pixels.
    virtual void BeginLayout(int width, int height) = 0;
    // Renders the laid-out page so that its top-left corner lands on bounds' top left; dc may
    // hold only a part of it. False when the engine could not draw.
    virtual bool Draw(HDC dc, const RECT& bounds) = 0;
    // Back to the page's own layout; called exactly once for every BeginLayout attempt.
    virtual void EndLayout() = 0;
};

class EWebCaptureError : public Exception {
public:
    EWebCaptureError();
};

struct WebCaptureOptions {
    // Rows rendered per draw: the engine never needs a surface of the whole page at once.
    int bandRows = 2048;
    // Makes the result bitmap; the default is a top-down 32-bit DIB of that size.
    std::function<void(TBitmap& bitmap, int width, int height)> allocate;
};

// Renders the whole page, beyond what its window shows, into bitmap (32 bits per pixel, top
// row first), cut to the picture limits. On any failure bitmap is left empty and
// EWebCaptureError is raised; the page is back in its own layout on every path.
void CaptureWebPage(TBitmap& bitmap, TWebPage& page, const WebCaptureOptions& options = {});

}  // namespace tovasen
