#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "output/pixel_view.h"

namespace tovasen {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// An adaptive palette of at most 256 colours by octree quantisation on the top 6 bits of each
// channel; each entry is the mean of the pixels it stands for.
std::vector<Rgb> OctreePalette(const PixelView& image);

// Palette indices, one byte a pixel, top row first, with Floyd-Steinberg error diffusion.
std::vector<std::uint8_t> DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette);

// GIF LZW for 8-bit indices (minimum code size 8), packed into 255-byte sub-blocks and ended
// with the block terminator.
std::vector<std::uint8_t> LzwCompress(const std::vector<std::uint8_t>& indices);

// A single-image GIF89a with a 256-entry global colour table and no transparency.
std::vector<std::uint8_t> EncodeGif(const PixelView& image);

}  // namespace tovasen
