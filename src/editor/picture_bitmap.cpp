#include "editor/picture_bitmap.h"

#include <windows.h>

#include <cstring>

#include "image/bitmap_pixels.h"

namespace tovasen {

TPixelBuffer PixelsOfBitmap(TBitmap& bitmap) {
    const BitmapPixels pixels(bitmap);
    const PixelView& view = pixels.View();
    TPixelBuffer out(view.width, view.height);
    for (int y = 0; y < view.height; ++y) {
        const std::uint8_t* src = view.Row(y);
        std::uint32_t* dst = out.Row(y);
        for (int x = 0; x < view.width; ++x, src += view.bytesPerPixel) {
            dst[x] = 0xFF000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
        }
    }
    return out;
}

std::unique_ptr<TBitmap> BitmapOfPixels(const TPixelBuffer& pixels) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(pixels.Width(), pixels.Height());
    if (!pixels.Empty()) {
        // A 32-bit DIB row has no padding: the same layout as ours.
        std::memcpy(bitmap->ScanLine(0), pixels.Data(),
                    static_cast<std::size_t>(pixels.Stride()) * static_cast<std::size_t>(pixels.Height()));
    }
    return bitmap;
}

}  // namespace tovasen
