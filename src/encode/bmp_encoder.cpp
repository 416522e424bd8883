#include "encode/bmp_encoder.h"

#include <algorithm>

namespace tovasen {
namespace {

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const PixelView& image) {
    CheckEncodable(image);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * image.bytesPerPixel;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    const std::size_t pixels = stride * static_cast<std::size_t>(image.height);
    constexpr std::uint32_t kHeaders = 14 + 40;

    std::vector<std::uint8_t> out;
    out.reserve(kHeaders + pixels);
    out.push_back('B');
    out.push_back('M');
    PutLE(out, static_cast<std::uint32_t>(kHeaders + pixels), 4);
    PutLE(out, 0, 4);  // reserved
    PutLE(out, kHeaders, 4);
    PutLE(out, 40, 4);  // BITMAPINFOHEADER
    PutLE(out, static_cast<std::uint32_t>(image.width), 4);
    PutLE(out, static_cast<std::uint32_t>(image.height), 4);  // positive: bottom-up
    PutLE(out, 1, 2);
    PutLE(out, static_cast<std::uint32_t>(image.bytesPerPixel * 8), 2);
    PutLE(out, 0, 4);  // BI_RGB
    PutLE(out, static_cast<std::uint32_t>(pixels), 4);
    PutLE(out, 3780, 4);  // 96 DPI in pixels per metre
    PutLE(out, 3780, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* row = image.Row(y);
        out.insert(out.end(), row, row + rowBytes);
        out.insert(out.end(), stride - rowBytes, 0);
    }
    return out;
}

}  // namespace tovasen
