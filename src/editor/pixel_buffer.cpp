#include "editor/pixel_buffer.h"

#include <algorithm>
#include <stdexcept>

namespace tovasen {

TPixelBuffer::TPixelBuffer(int width, int height, std::uint32_t fill) : FWidth(width), FHeight(height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative picture size");
    FPixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

PixelView TPixelBuffer::View() const noexcept {
    return PixelView{reinterpret_cast<const std::uint8_t*>(FPixels.data()), FWidth, FHeight, Stride(), 4};
}

TPixelBuffer TPixelBuffer::Cropped(const TBox& box) const {
    const TBox part = Intersection(box, Bounds());
    TPixelBuffer out(part.Width(), part.Height());
    for (int y = part.top; y < part.bottom; ++y) {
        std::copy(Row(y) + part.left, Row(y) + part.right, out.Row(y - part.top));
    }
    return out;
}

void TPixelBuffer::CopyFrom(const TPixelBuffer& source, const TBox& area) {
    if (source.FWidth != FWidth || source.FHeight != FHeight) throw std::invalid_argument("pictures differ in size");
    const TBox part = Intersection(area, Bounds());
    for (int y = part.top; y < part.bottom; ++y) {
        std::copy(source.Row(y) + part.left, source.Row(y) + part.right, Row(y) + part.left);
    }
}

}  // namespace tovasen
