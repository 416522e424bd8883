// Feeds arbitrary bytes to the thumbnail decoder, as a damaged or foreign history database
// would: it either refuses them or gives a picture no larger than a thumbnail, whose buffer
// holds exactly its pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "history/thumbnail.h"
#include "encode/encode_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const tovasen::TPixels pixels = tovasen::DecodeThumbnail(std::vector<std::uint8_t>(data, data + size));
        if (pixels.Width < 1 || pixels.Height < 1 || pixels.Width > tovasen::kThumbnailSide ||
            pixels.Height > tovasen::kThumbnailSide ||
            pixels.Bytes.size() != static_cast<std::size_t>(pixels.Width) * static_cast<std::size_t>(pixels.Height) * 4) {
            std::abort();
        }
    } catch (const tovasen::EncodeError&) {
    }
    return 0;
}
