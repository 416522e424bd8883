#pragma once
#include <cstdint>
#include <memory>

#include "image/pixel_view.h"
#include "image/bitmap.h"

namespace tovasen {

// The pixels of a bitmap as the encoders read them. DIB bitmaps are viewed in place; a device
// bitmap is copied once into a DIB of the screen's depth (24 or 32 bits).
class BitmapPixels {
public:
    explicit BitmapPixels(TBitmap& bitmap);
    const PixelView& View() const noexcept { return FView; }

private:
    std::unique_ptr<TBitmap> FCopy;
    PixelView FView;
};

}  // namespace tovasen
