#include "web/web_capture.h"

#include <algorithm>
#include <cstring>

#include "base/log_event.h"

namespace tovasen {
namespace {

// Puts the page back into its own layout when the capture leaves, however it leaves.
class LayoutRestorer {
public:
    explicit LayoutRestorer(TWebPage& page) : page_(page) {}
    LayoutRestorer(const LayoutRestorer&) = delete;
    LayoutRestorer& operator=(const LayoutRestorer&) = delete;
    ~LayoutRestorer() {
        try {
            page_.EndLayout();
        } catch (...) {
            // The capture's own outcome is what the user needs to hear about.
            LogCaught(L"web-capture", std::current_exception());
        }
    }

private:
    TWebPage& page_;
};

void AllocateDib(TBitmap& bitmap, int width, int height) {
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(width, height);
}

void RenderBands(TBitmap& result, TWebPage& page, const WebCaptureSize& size, int bandRows) {
    TBitmap band;
    band.SetPixelFormat(TPixelFormat::pf32bit);
    band.SetSize(size.width, std::min(bandRows, size.height));
    const HDC dc = band.Canvas().Handle();
    const std::size_t rowBytes = static_cast<std::size_t>(result.Stride());
    if (band.Stride() != result.Stride()) throw EWebCaptureError();
    for (int top = 0; top < size.height; top += bandRows) {
        const int rows = std::min(bandRows, size.height - top);
        // A page that draws nothing (or only part) must not leave black behind.
        if (!PatBlt(dc, 0, 0, size.width, rows, WHITENESS)) throw EWebCaptureError();
        const RECT bounds{0, -top, size.layoutWidth, size.layoutHeight - top};
        if (!page.Draw(dc, bounds)) throw EWebCaptureError();
        // Both are top-down with the same row layout: the band is one block of the result.
        std::memcpy(result.ScanLine(top), band.ScanLine(0), rowBytes * static_cast<std::size_t>(rows));
    }
}

}  // namespace

EWebCaptureError::EWebCaptureError() : Exception(L"The web page could not be captured.") {}

void CaptureWebPage(TBitmap& bitmap, TWebPage& page, const WebCaptureOptions& options) {
    const int bandRows = std::max(options.bandRows, 1);
    try {
        const WebCaptureSize size = ComputeWebCaptureSize(page.Measure(), page.ZoomDpi(), page.Margins());
        if (size.width <= 0 || size.height <= 0) throw EWebCaptureError();
        // From the first change of the layout on, leaving restores it.
        LayoutRestorer restorer(page);
        page.BeginLayout(size.layoutWidth, size.layoutHeight);
        if (options.allocate) options.allocate(bitmap, size.width, size.height);
        else AllocateDib(bitmap, size.width, size.height);
        if (bitmap.Width() != size.width || bitmap.Height() != size.height ||
            bitmap.PixelFormat() != TPixelFormat::pf32bit) {
            throw EWebCaptureError();
        }
        RenderBands(bitmap, page, size, bandRows);
    } catch (...) {
        // The user hears one plain sentence; the record keeps what actually went wrong.
        LogCaught(L"web-capture", std::current_exception());
        bitmap.SetSize(0, 0);
        throw EWebCaptureError();
    }
}

}  // namespace tovasen
