#pragma once
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

struct PngOptions {
    // Threads for deflate; 0 uses every core. Small images are always compressed on one.
    unsigned threads = 0;
};

// Truecolour PNG (colour type 2, 8 bits, no alpha, no interlace): every row Sub-filtered,
// deflate level 7, IDAT chunks of at most 65535 bytes; chunks IHDR, IDAT..., IEND.
std::vector<std::uint8_t> EncodePng(const PixelView& image, const PngOptions& options = {});

// The Sub-filtered scanlines (a filter byte 1, then R, G, B differences) that PNG deflates.
std::vector<std::uint8_t> FilterPngRows(const PixelView& image);

// The zlib stream of data at level 7, deflated in slices on several threads when there is
// enough data: each slice is primed with the previous 32 KiB and ends with a sync flush.
std::vector<std::uint8_t> DeflateLevel7(const std::vector<std::uint8_t>& data, unsigned threads);

}  // namespace tovasen
