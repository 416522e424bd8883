#pragma once
#include <memory>

#include "editor/pixel_buffer.h"
#include "image/bitmap.h"

namespace tovasen {

// A capture of any pixel format as the editor's own picture.
TPixelBuffer PixelsOfBitmap(TBitmap& bitmap);
// The editor's picture as a 32-bit bitmap, as the output targets take it.
std::unique_ptr<TBitmap> BitmapOfPixels(const TPixelBuffer& pixels);

}  // namespace tovasen
