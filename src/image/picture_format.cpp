#include "image/picture_format.h"

#include <cstring>

namespace tovasen {
namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::size_t at, const char* magic, std::size_t length) {
    return bytes.size() >= at + length && std::memcmp(bytes.data() + at, magic, length) == 0;
}

}  // namespace

std::optional<TPictureFormat> PictureFormatOf(std::span<const std::uint8_t> head) {
    if (StartsWith(head, 0, "\x89PNG\r\n\x1A\n", 8)) return TPictureFormat::Png;
    if (StartsWith(head, 0, "\xFF\xD8\xFF", 3)) return TPictureFormat::Jpeg;
    if (StartsWith(head, 0, "GIF87a", 6) || StartsWith(head, 0, "GIF89a", 6)) return TPictureFormat::Gif;
    if (StartsWith(head, 0, "RIFF", 4) && StartsWith(head, 8, "WEBP", 4)) return TPictureFormat::WebP;
    // "BM" and a header size that is one of the bitmap headers' (12, 40, 52, 56, 108, 124).
    if (StartsWith(head, 0, "BM", 2) && head.size() >= 18) {
        const std::uint32_t header = head[14] | (std::uint32_t{head[15]} << 8) | (std::uint32_t{head[16]} << 16) |
                                     (std::uint32_t{head[17]} << 24);
        for (std::uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
            if (header == size) return TPictureFormat::Bmp;
        }
    }
    return std::nullopt;
}

}  // namespace tovasen
