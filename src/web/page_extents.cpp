#include "web/page_extents.h"

#include <algorithm>

namespace tovasen {
namespace {

// Window sizes travel in 16-bit words (WM_SIZE); a larger layout would wrap around.
constexpr std::int64_t kMaxLayout = 65500;

std::int64_t ToDevice(std::int64_t css, int zoomDpi) {
    // Rounded up: a part pixel of content is still content.
    return (std::max<std::int64_t>(css, 0) * zoomDpi + 95) / 96;
}

}  // namespace

WebCaptureSize ComputeWebCaptureSize(const PageExtents& extents, int zoomDpi, const PageMargins& margins) {
    if (zoomDpi <= 0) zoomDpi = 96;
    std::int64_t cssWidth = 0, cssHeight = 0;
    const auto widen = [&](const ScrollExtent& e) {
        cssWidth = std::max<std::int64_t>(cssWidth, e.width);
        cssHeight = std::max<std::int64_t>(cssHeight, e.height);
    };
    if (extents.body) widen(*extents.body);
    if (extents.root) widen(*extents.root);
    for (const ScrollExtent& frame : extents.frames) widen(frame);

    const std::int64_t strip = std::max(margins.strip, 0);
    const std::int64_t extra = std::max(margins.extra, 0);
    std::int64_t layoutWidth = ToDevice(cssWidth, zoomDpi) + strip + extra;
    std::int64_t layoutHeight = ToDevice(cssHeight, zoomDpi);
    if (layoutWidth < ToDevice(100, zoomDpi)) layoutWidth = ToDevice(1024, zoomDpi);
    if (layoutHeight < ToDevice(100, zoomDpi)) layoutHeight = ToDevice(768, zoomDpi);
    const std::int64_t fullWidth = std::max<std::int64_t>(layoutWidth - strip, 1), fullHeight = layoutHeight;
    layoutWidth = std::min(layoutWidth, kMaxLayout);
    layoutHeight = std::min(layoutHeight, kMaxLayout);

    std::int64_t width = std::max<std::int64_t>(layoutWidth - strip, 1);
    std::int64_t height = layoutHeight;
    width = std::min<std::int64_t>(width, kPictureLimits.maxWidth);
    height = std::min<std::int64_t>(height, kPictureLimits.maxHeight);
    height = std::min(height, kPictureLimits.maxPixels / width);

    WebCaptureSize size;
    size.layoutWidth = static_cast<int>(layoutWidth);
    size.layoutHeight = static_cast<int>(layoutHeight);
    size.width = static_cast<int>(width);
    size.height = static_cast<int>(height);
    size.clamped = width != fullWidth || height != fullHeight;
    return size;
}

}  // namespace tovasen
