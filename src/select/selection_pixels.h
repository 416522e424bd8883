#pragma once
#include <cstdint>
#include <vector>

#include "select/area_geometry.h"

namespace tovasen {

// Rows of pixels in memory: 3 or 4 bytes a pixel, blue first, rows `stride` bytes apart.
struct TPixelRows {
    std::uint8_t* bits = nullptr;
    int width = 0, height = 0, stride = 0, bytesPerPixel = 4;
    std::uint8_t* Row(int y) const noexcept { return bits + static_cast<std::ptrdiff_t>(y) * stride; }
};

// The drag overlay's dimming: b * 0.6, rounded to nearest, in fixed point.
constexpr std::uint8_t DarkenByte(std::uint8_t b) noexcept {
    return static_cast<std::uint8_t>((b * 19660 + 16384) >> 15);
}

// The rectangle spanned by two points, normalised (the later point on the excluded edge).
TRectI SpanRect(int x0, int y0, int x1, int y1) noexcept;
// The part of r inside (0, 0, width, height).
TRectI ClipRect(const TRectI& r, int width, int height) noexcept;

// dark = source with every colour byte dimmed; the same size and layout. Alpha bytes of
// 32-bit rows are copied as they are. Sixteen bytes at a time where the processor allows.
void DarkenAll(const TPixelRows& source, const TPixelRows& dark);
// The same, one byte at a time: the reference the fast version must match exactly.
void DarkenAllReference(const TPixelRows& source, const TPixelRows& dark);

// The picker's outline: a dash pattern that walks 1, 2, 4 ... 128, 1 ... one step per pixel
// drawn; a pixel is white when the pattern has one of its three top bits, black otherwise.
std::uint8_t NextDash(std::uint8_t pattern) noexcept;
inline bool DashIsWhite(std::uint8_t pattern) noexcept { return (pattern & 0xE0) != 0; }

// The outline of a width x height window as four one-pixel strips of colours (0x00RRGGBB:
// white 0xFFFFFF or black 0), drawn clockwise from the top-left corner: the top row left to
// right, the right column top to bottom, the bottom row right to left, the left column bottom
// to top (which ends on the top-left corner again). Strips are stored top-to-bottom and
// left-to-right whatever the drawing direction. `pattern` carries the phase across redraws.
struct TOutlineStrips {
    std::vector<std::uint32_t> top, right, bottom, left;  // top/bottom: width; left/right: height
};
TOutlineStrips DrawOutline(int width, int height, std::uint8_t& pattern);

}  // namespace tovasen
