#pragma once
// Pictures the history keeps: an owned copy of a capture's pixels (what the capturing thread
// pays), the small picture shown in the history window, and its JPEG form in the database.
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

// Pixels owned by the history: rows packed top first, B, G, R (and a fourth byte when
// BytesPerPixel is 4).
struct TPixels {
    int Width = 0;
    int Height = 0;
    int BytesPerPixel = 4;
    std::vector<std::uint8_t> Bytes;

    PixelView View() const noexcept;
    bool Empty() const noexcept { return Width <= 0 || Height <= 0; }
};

inline constexpr int kThumbnailSide = 256;

// A packed copy of image; raises EncodeError unless it is a 24- or 32-bit picture.
TPixels CopyPixels(const PixelView& image);
// image shrunk to fit within maxSide x maxSide, each pixel the mean of the pixels it covers;
// a picture that already fits keeps its size. 24 bits per pixel.
TPixels FitWithin(const PixelView& image, int maxSide);
// The thumbnail's JPEG: FitWithin kThumbnailSide.
std::vector<std::uint8_t> EncodeThumbnail(const PixelView& image);
// A thumbnail's JPEG as 32-bit pixels (the fourth byte 255); raises EncodeError when the bytes
// are not a JPEG this decoder reads, or are larger than a thumbnail can be.
TPixels DecodeThumbnail(const std::vector<std::uint8_t>& jpeg);

}  // namespace tovasen
