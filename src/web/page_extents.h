#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "image/picture_limits.h"

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
