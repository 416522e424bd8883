#pragma once
#include <cstdint>
#include <vector>

#include "editor/geometry.h"
#include "image/pixel_view.h"

namespace tovasen {

// A picture the editor owns: 32-bit pixels 0xAARRGGBB (B, G, R, A in memory, as in a 32-bit
// DIB), rows top first without padding. Alpha is kept at 255.
class TPixelBuffer {
public:
    TPixelBuffer() = default;
    TPixelBuffer(int width, int height, std::uint32_t fill = 0xFF000000);

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    TBox Bounds() const noexcept { return {0, 0, FWidth, FHeight}; }
    bool Empty() const noexcept { return FWidth <= 0 || FHeight <= 0; }

    std::uint32_t* Row(int y) noexcept { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
    const std::uint32_t* Row(int y) const noexcept { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
    std::uint32_t& At(int x, int y) noexcept { return Row(y)[x]; }
    std::uint32_t At(int x, int y) const noexcept { return Row(y)[x]; }
    std::uint32_t* Data() noexcept { return FPixels.data(); }
    const std::uint32_t* Data() const noexcept { return FPixels.data(); }
    int Stride() const noexcept { return FWidth * 4; }

    PixelView View() const noexcept;
    // The part inside box (clipped to the picture) as a picture of its own.
    TPixelBuffer Cropped(const TBox& box) const;
    // Copies area (clipped) from a picture of the same size.
    void CopyFrom(const TPixelBuffer& source, const TBox& area);

    friend bool operator==(const TPixelBuffer&, const TPixelBuffer&) = default;

private:
    int FWidth = 0, FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

}  // namespace tovasen
