#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/picture_format.h"

namespace tovasen {

// What a picture file holds, known before its pixels are decoded.
struct TPictureShape {
    TPictureFormat Format = TPictureFormat::Png;
    int Width = 0;
    int Height = 0;
    unsigned Frames = 1;  // more than one: an animation, of which only the first frame is read
};

// Where the first frame's pixels go: Height rows top first, Stride bytes apart, each pixel
// B, G, R, A as the file has them (not premultiplied; opaque where the format has no alpha).
struct TPixelDestination {
    std::uint8_t* Data = nullptr;
    std::size_t Stride = 0;
};

// Asked once, with the shape, for the memory the pixels are decoded into; it may refuse the
// picture by raising instead.
using TPixelsFor = std::function<TPixelDestination(const TPictureShape& shape)>;

// Reads the picture file at path by what its first bytes say it is, whatever its name says:
// PNG, JPG, BMP and GIF through WIC, WebP through the libwebp.dll beside the program. Returns
// the file's bytes. Raises an Exception whose message is for the user and names the file when
// the file cannot be read, is of another kind, has more than 65535 pixels on a side or more
// pixels than the largest picture the program writes.
std::vector<std::uint8_t> ReadPicture(const std::wstring& path, const TPixelsFor& pixelsFor);

}  // namespace tovasen
