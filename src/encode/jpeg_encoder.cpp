#include "encode/jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "encode/encode_error.h"

static_assert(JPEG_MAX_DIMENSION == tovasen::kMaxJpegSide, "the codec's largest side");

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces are needed (JCS_EXT_BGRX)"
#endif

namespace tovasen {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return; it jumps back to
// Compress, which then frees everything. Nothing between setjmp and longjmp owns a destructor.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings are not shown anywhere

// Returns false with the codec's text in errors->message on failure.
bool Compress(const PixelView& image, int quality, ErrorManager* errors, unsigned char** out,
              unsigned long* outSize, JSAMPROW* rows) {
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = OnError;
    errors->base.emit_message = OnMessage;
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = image.bytesPerPixel;
    info.in_color_space = image.bytesPerPixel == 4 ? JCS_EXT_BGRX : JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < image.height; ++y) rows[y] = const_cast<JSAMPROW>(image.Row(y));
    jpeg_write_scanlines(&info, rows, static_cast<JDIMENSION>(image.height));
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const PixelView& image, std::uint8_t quality) {
    CheckEncodable(image);
    if (image.width > kMaxJpegSide || image.height > kMaxJpegSide) {
        throw EncodeError("A JPEG picture can be at most " + std::to_string(kMaxJpegSide) +
                          " pixels wide and high; this one is " + std::to_string(image.width) + " x " +
                          std::to_string(image.height) + ".");
    }
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(image.height));
    ErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = Compress(image, quality == 0 ? 1 : quality, &errors, &buffer, &size, rows.data());
    std::vector<std::uint8_t> out;
    if (ok) out.assign(buffer, buffer + size);
    std::free(buffer);  // jpeg_mem_dest allocates with malloc
    if (!ok) throw EncodeError(std::string("JPEG: ") + errors.message);
    return out;
}

}  // namespace tovasen
