#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace tovasen {

// The scroll extents one element of a document reports, in the document's own (CSS) pixels.
struct ScrollExtent {
    int width = 0;
    int height = 0;
};

// What a document tells about its size: its body, its root element and the root elements of
// the frames that could be read (a frame from another origin cannot).
struct PageExtents {
    std::optional<ScrollExtent> body;
    std::optional<ScrollExtent> root;
    std::vector<ScrollExtent> frames;
};

// The largest picture the image writers take: a side of the WebP and JPEG formats, and a pixel
// count that keeps a 32-bit picture at 512 MiB.
struct PictureLimits {
    int maxWidth;
    int maxHeight;
    std::int64_t maxPixels;
};
inline constexpr PictureLimits kPictureLimits{16384, 65500, std::int64_t{1} << 27};

// The device-pixel margins around a rendered page, taken at the browser window's DPI.
struct PageMargins {
    int strip;  // the control's edge and vertical scroll bar, cut off the right of the render
    int extra;  // kept right of the widest content
};

// How a page is laid out for the render and what part of it becomes the picture.
struct WebCaptureSize {
    int layoutWidth = 0;   // the browser control's size during the render
    int layoutHeight = 0;
    int width = 0;         // the picture: the render's top-left part
    int height = 0;
    bool clamped = false;  // the page is larger than the picture can be
};

// The widest and tallest of the extents, scaled from document pixels to device pixels at
// zoomDpi (96 is 100 %), with the margins added once to the maximum; a side under 100 pixels
// (at 100 %) is laid out at 1024 x 768. The picture is the layout less the right-hand strip,
// cut to kPictureLimits from the top left. The layout never exceeds what a window's size
// message can carry.
WebCaptureSize ComputeWebCaptureSize(const PageExtents& extents, int zoomDpi, const PageMargins& margins);

}  // namespace tovasen
