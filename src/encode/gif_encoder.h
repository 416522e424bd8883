#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// An adaptive palette of at most 256 colours by octree quantisation on the top 6 bits of each
// channel; each entry is the mean of the pixels it stands for.
std::vector<Rgb> OctreePalette(const PixelView& image);

// Palette indices, one byte a pixel, top row first, with Floyd-Steinberg error diffusion.
std::vector<std::uint8_t> DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette);

// The same, written row by row into out (width x height bytes) with progress after each row.
void DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette, std::uint8_t* out,
                     const std::function<void(int rowsDone)>& progress);

class CodeWriter;
class LzwTable;

// GIF LZW for 8-bit indices (minimum code size 8), fed in pieces.
class LzwEncoder {
public:
    LzwEncoder();
    LzwEncoder(const LzwEncoder&) = delete;
    LzwEncoder& operator=(const LzwEncoder&) = delete;
    ~LzwEncoder();

    void Add(const std::uint8_t* indices, std::size_t count);
    // The code stream in 255-byte sub-blocks with the block terminator.
    std::vector<std::uint8_t> Finish();

private:
    static constexpr int kMinCodeSize = 8;
    static constexpr unsigned kClear = 1u << kMinCodeSize, kEnd = kClear + 1;
    static constexpr int kMaxCode = 4095;
    void Emit(unsigned code);

    std::vector<std::uint8_t> out_;
    std::unique_ptr<LzwTable> table_;
    std::unique_ptr<CodeWriter> writer_;
    int codeSize_ = kMinCodeSize + 1;
    int next_ = static_cast<int>(kEnd) + 1;
    int current_ = -1;  // the string being matched, -1 before the first index
};

// GIF LZW for 8-bit indices (minimum code size 8), packed into 255-byte sub-blocks and ended
// with the block terminator.
std::vector<std::uint8_t> LzwCompress(const std::vector<std::uint8_t>& indices);

// A single-image GIF89a with a 256-entry global colour table and no transparency.
std::vector<std::uint8_t> EncodeGif(const PixelView& image);

}  // namespace tovasen
