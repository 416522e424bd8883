#pragma once
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

inline constexpr std::uint8_t kDefaultJpegQuality = 90;
// The longest side the JPEG codec takes.
inline constexpr int kMaxJpegSide = 65500;

// Baseline colour JPEG (JFIF) at quality 1..100 (0 counts as 1), codec defaults otherwise.
// The rows go to the codec as they are, in its BGR/BGRX input formats, without a copy.
std::vector<std::uint8_t> EncodeJpeg(const PixelView& image, std::uint8_t quality = kDefaultJpegQuality);

}  // namespace tovasen
