#pragma once
#include <cstdint>
#include <optional>
#include <span>

namespace tovasen {

enum class TPictureFormat { Png, Jpeg, Bmp, Gif, WebP };

// The format a file's first bytes announce, whatever its name says; nothing for others.
std::optional<TPictureFormat> PictureFormatOf(std::span<const std::uint8_t> head);

}  // namespace tovasen
