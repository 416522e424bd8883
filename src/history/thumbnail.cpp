#include "history/thumbnail.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "encode/encode_error.h"
#include "encode/jpeg_encoder.h"

namespace tovasen {
namespace {

constexpr std::uint8_t kThumbnailQuality = 85;

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to
// Decompress, which frees the decoder. Nothing between setjmp and longjmp owns a destructor.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void OnMessage(j_common_ptr, int) {}

// Reads the header, then (when size allows it) the rows into out. Returns false on any error.
bool Decompress(const std::uint8_t* data, std::size_t size, ErrorManager* errors, TPixels* out) {
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = OnError;
    errors->base.emit_message = OnMessage;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    // A stored thumbnail is never larger; anything else is not ours and is not decoded.
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kThumbnailSide ||
        info.image_height > kThumbnailSide) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    out->Width = static_cast<int>(info.output_width);
    out->Height = static_cast<int>(info.output_height);
    out->BytesPerPixel = 4;
    out->Bytes.resize(static_cast<std::size_t>(out->Width) * static_cast<std::size_t>(out->Height) * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->Bytes.data() + static_cast<std::size_t>(info.output_scanline) * out->Width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

PixelView TPixels::View() const noexcept {
    return PixelView{Bytes.data(), Width, Height, static_cast<std::ptrdiff_t>(Width) * BytesPerPixel, BytesPerPixel};
}

TPixels CopyPixels(const PixelView& image) {
    CheckEncodable(image);
    TPixels copy;
    copy.Width = image.width;
    copy.Height = image.height;
    copy.BytesPerPixel = image.bytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.bytesPerPixel);
    copy.Bytes.resize(rowBytes * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(copy.Bytes.data() + rowBytes * static_cast<std::size_t>(y), image.Row(y), rowBytes);
    }
    return copy;
}

TPixels FitWithin(const PixelView& image, int maxSide) {
    CheckEncodable(image);
    const int longest = std::max(image.width, image.height);
    const double scale = longest > maxSide ? static_cast<double>(maxSide) / longest : 1.0;
    TPixels out;
    out.Width = std::max(1, static_cast<int>(image.width * scale + 0.5));
    out.Height = std::max(1, static_cast<int>(image.height * scale + 0.5));
    out.BytesPerPixel = 3;
    out.Bytes.resize(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height) * 3);
    // Each target column covers source columns [x0, x1): worked out once, used on every row.
    std::vector<int> columnStart(static_cast<std::size_t>(out.Width) + 1);
    for (int x = 0; x <= out.Width; ++x) {
        columnStart[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<long long>(x) * image.width / out.Width);
    }
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(out.Width) * 3);
    for (int ty = 0; ty < out.Height; ++ty) {
        const int y0 = static_cast<int>(static_cast<long long>(ty) * image.height / out.Height);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(ty + 1) * image.height / out.Height));
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = image.Row(y);
            for (int tx = 0; tx < out.Width; ++tx) {
                const int x0 = columnStart[static_cast<std::size_t>(tx)];
                const int x1 = std::max(x0 + 1, columnStart[static_cast<std::size_t>(tx) + 1]);
                std::uint32_t* sum = &sums[static_cast<std::size_t>(tx) * 3];
                for (int x = x0; x < x1; ++x) {
                    const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * image.bytesPerPixel;
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
        }
        std::uint8_t* target = out.Bytes.data() + static_cast<std::size_t>(ty) * out.Width * 3;
        for (int tx = 0; tx < out.Width; ++tx) {
            const int x0 = columnStart[static_cast<std::size_t>(tx)];
            const int x1 = std::max(x0 + 1, columnStart[static_cast<std::size_t>(tx) + 1]);
            const std::uint32_t count = static_cast<std::uint32_t>((x1 - x0) * (y1 - y0));
            for (int c = 0; c < 3; ++c) {
                target[tx * 3 + c] =
                    static_cast<std::uint8_t>((sums[static_cast<std::size_t>(tx) * 3 + c] + count / 2) / count);
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> EncodeThumbnail(const PixelView& image) {
    return EncodeJpeg(FitWithin(image, kThumbnailSide).View(), kThumbnailQuality);
}

TPixels DecodeThumbnail(const std::vector<std::uint8_t>& jpeg) {
    if (jpeg.empty()) throw EncodeError("empty thumbnail");
    ErrorManager errors;
    TPixels out;
    if (!Decompress(jpeg.data(), jpeg.size(), &errors, &out)) throw EncodeError("the thumbnail is not a readable JPEG");
    return out;
}

}  // namespace tovasen
