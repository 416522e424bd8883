#include "output/image_writers.h"

#include <windows.h>

#include "base/utf_convert.h"
#include "image/bitmap_pixels.h"
#include "encode/bmp_encoder.h"
#include "encode/encode_error.h"
#include "output/file_replace.h"
#include "encode/gif_encoder.h"
#include "encode/jpeg_encoder.h"
#include "encode/png_encoder.h"
#include "base/errors.h"

namespace tovasen {
namespace {

// Encodes with a core encoder, turning its errors into the program's exceptions.
template <class Encode>
void SaveEncoded(TBitmap& bitmap, const std::wstring& fileName, Encode encode) {
    std::vector<std::uint8_t> bytes;
    {
        const BitmapPixels pixels(bitmap);
        try {
            bytes = encode(pixels.View());
        } catch (const EncodeError& e) {
            throw Exception(Utf8ToWide(e.what()));
        }
    }
    ReplaceFileWith(fileName, bytes);
}

}  // namespace

void SavePNG(TBitmap& bitmap, const std::wstring& fileName) {
    SaveEncoded(bitmap, fileName, [](const PixelView& v) { return EncodePng(v); });
}

void SaveJPG(TBitmap& bitmap, const std::wstring& fileName, std::uint8_t quality) {
    SaveEncoded(bitmap, fileName, [quality](const PixelView& v) { return EncodeJpeg(v, quality); });
}

void SaveGIF(TBitmap& bitmap, const std::wstring& fileName) {
    SaveEncoded(bitmap, fileName, [](const PixelView& v) { return EncodeGif(v); });
}

void SaveBMP(TBitmap& bitmap, const std::wstring& fileName) {
    SaveEncoded(bitmap, fileName, [](const PixelView& v) { return EncodeBmp(v); });
}

}  // namespace tovasen
