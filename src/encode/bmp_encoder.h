#pragma once
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

// A Windows bitmap file in the image's own 24- or 32-bit format: file header, information
// header, uncompressed rows bottom-up, each padded to four bytes.
std::vector<std::uint8_t> EncodeBmp(const PixelView& image);

}  // namespace tovasen
