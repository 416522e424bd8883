#pragma once
#include <cstdint>

namespace tovasen {

// The largest picture every image writer takes: the WebP format's longest side (the narrowest
// of the writers), JPEG's tallest, and a pixel count that keeps a 32-bit picture at 512 MiB.
struct PictureLimits {
    int maxWidth;
    int maxHeight;
    std::int64_t maxPixels;
};
inline constexpr PictureLimits kPictureLimits{16383, 65500, std::int64_t{1} << 27};

}  // namespace tovasen
