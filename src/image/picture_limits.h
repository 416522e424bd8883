#pragma once
#include <cstdint>

namespace tovasen {

// The longest side a WebP picture can have: its header holds each side less one in 14 bits.
inline constexpr int kMaxWebPSide = 16383;

// The largest picture every image writer takes: the WebP format's longest side (the narrowest
// of the writers), JPEG's tallest, and a pixel count that keeps a 32-bit picture at 512 MiB.
struct PictureLimits {
    int maxWidth;
    int maxHeight;
    std::int64_t maxPixels;
};
inline constexpr PictureLimits kPictureLimits{kMaxWebPSide, 65500, std::int64_t{1} << 27};

}  // namespace tovasen
