#include "image/pixel_view.h"

#include <string>

#include "encode/encode_error.h"

namespace tovasen {

void CheckEncodable(const PixelView& image) {
    if (image.width <= 0 || image.height <= 0) {
        throw EncodeError("Cannot save an empty image (" + std::to_string(image.width) + " x " +
                          std::to_string(image.height) + " pixels).");
    }
    if (image.bytesPerPixel != 3 && image.bytesPerPixel != 4) {
        throw EncodeError("Unsupported pixel size: " + std::to_string(image.bytesPerPixel * 8) + " bits.");
    }
    if (!image.data || image.stride < static_cast<std::ptrdiff_t>(image.width) * image.bytesPerPixel) {
        throw EncodeError("The image has no pixel rows.");
    }
}

}  // namespace tovasen
