#pragma once
#include <cstddef>
#include <cstdint>

namespace tovasen {

// A read-only view of an image held elsewhere: rows top first, pixels as B, G, R (and a fourth
// byte, ignored, when bytesPerPixel is 4), stride bytes from one row to the next.
struct PixelView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    int bytesPerPixel = 4;

    const std::uint8_t* Row(int y) const noexcept { return data + static_cast<std::ptrdiff_t>(y) * stride; }
};

// Raises EncodeError unless the view describes a non-empty 24- or 32-bit image.
void CheckEncodable(const PixelView& image);

}  // namespace tovasen
