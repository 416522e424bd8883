#include "select/selection_pixels.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define TOVASEN_DARKEN_SSE2 1
#else
#define TOVASEN_DARKEN_SSE2 0
#endif

namespace tovasen {

TRectI SpanRect(int x0, int y0, int x1, int y1) noexcept {
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

TRectI ClipRect(const TRectI& r, int width, int height) noexcept {
    TRectI c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width), std::min(r.bottom, height)};
    if (c.Empty()) return {};
    return c;
}

namespace {

void DarkenSpanReference(const std::uint8_t* from, std::uint8_t* to, int pixels, int bytesPerPixel) {
    if (bytesPerPixel == 3) {
        for (int i = 0; i < pixels * 3; ++i) to[i] = DarkenByte(from[i]);
        return;
    }
    for (int i = 0; i < pixels; ++i, from += 4, to += 4) {
        to[0] = DarkenByte(from[0]);
        to[1] = DarkenByte(from[1]);
        to[2] = DarkenByte(from[2]);
        to[3] = from[3];
    }
}

#if TOVASEN_DARKEN_SSE2
// Each byte b widened to 16 bits becomes b * factor + offset, and the result is the high half
// of that times a multiplier. For colour lanes (4, 3, 9830) this is ((4b + 3) * 9830) >> 16,
// which equals DarkenByte's (b * 19660 + 16384) >> 15 for every b from 0 to 255 (the tests
// check all of them); alpha lanes (256, 0, 256) give b back unchanged. Sixteen bytes are four
// 32-bit pixels, so a block that starts on a pixel always has the same lane pattern.
struct DarkenLanes {
    __m128i factor, offset, multiplier;
};

DarkenLanes LanesFor(int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        return {_mm_setr_epi16(4, 4, 4, 256, 4, 4, 4, 256), _mm_setr_epi16(3, 3, 3, 0, 3, 3, 3, 0),
                _mm_setr_epi16(9830, 9830, 9830, 256, 9830, 9830, 9830, 256)};
    }
    return {_mm_set1_epi16(4), _mm_set1_epi16(3), _mm_set1_epi16(9830)};
}

__m128i DarkenHalf(__m128i words, const DarkenLanes& lanes) {
    const __m128i x = _mm_add_epi16(_mm_mullo_epi16(words, lanes.factor), lanes.offset);
    return _mm_mulhi_epu16(x, lanes.multiplier);
}

void DarkenSpan(const std::uint8_t* from, std::uint8_t* to, int pixels, int bytesPerPixel) {
    const DarkenLanes lanes = LanesFor(bytesPerPixel);
    const __m128i zero = _mm_setzero_si128();
    const std::size_t bytes = static_cast<std::size_t>(pixels) * static_cast<std::size_t>(bytesPerPixel);
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i low = DarkenHalf(_mm_unpacklo_epi8(in, zero), lanes);
        const __m128i high = DarkenHalf(_mm_unpackhi_epi8(in, zero), lanes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(low, high));
    }
    // Less than 16 bytes are left. Three-byte pixels are all colour, so they go byte by byte
    // from wherever the blocks ended; four-byte blocks always end on a pixel.
    if (bytesPerPixel == 3) {
        for (; i < bytes; ++i) to[i] = DarkenByte(from[i]);
    } else {
        DarkenSpanReference(from + i, to + i, static_cast<int>((bytes - i) / 4), 4);
    }
}
#else
void DarkenSpan(const std::uint8_t* from, std::uint8_t* to, int pixels, int bytesPerPixel) {
    DarkenSpanReference(from, to, pixels, bytesPerPixel);
}
#endif

}  // namespace

void DarkenAll(const TPixelRows& source, const TPixelRows& dark) {
    for (int y = 0; y < source.height; ++y) DarkenSpan(source.Row(y), dark.Row(y), source.width, source.bytesPerPixel);
}

void DarkenAllReference(const TPixelRows& source, const TPixelRows& dark) {
    for (int y = 0; y < source.height; ++y) {
        DarkenSpanReference(source.Row(y), dark.Row(y), source.width, source.bytesPerPixel);
    }
}

std::uint8_t NextDash(std::uint8_t pattern) noexcept {
    const auto next = static_cast<std::uint8_t>(pattern << 1);
    return next == 0 ? std::uint8_t{1} : next;
}

TOutlineStrips DrawOutline(int width, int height, std::uint8_t& pattern) {
    TOutlineStrips strips;
    if (width <= 0 || height <= 0) return strips;
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    strips.top.assign(w, 0);
    strips.bottom.assign(w, 0);
    strips.left.assign(h, 0);
    strips.right.assign(h, 0);
    auto plot = [&](int x, int y) {
        pattern = NextDash(pattern);
        const std::uint32_t color = DashIsWhite(pattern) ? 0xFFFFFFu : 0u;
        const auto ux = static_cast<std::size_t>(x), uy = static_cast<std::size_t>(y);
        if (y == 0) strips.top[ux] = color;
        if (y == height - 1) strips.bottom[ux] = color;
        if (x == 0) strips.left[uy] = color;
        if (x == width - 1) strips.right[uy] = color;
    };
    // Four runs that each leave out their end point, clockwise from the top-left corner.
    for (int x = 0; x < width - 1; ++x) plot(x, 0);
    for (int y = 0; y < height - 1; ++y) plot(width - 1, y);
    for (int x = width - 1; x > 0; --x) plot(x, height - 1);
    for (int y = height - 1; y >= 0; --y) plot(0, y);
    return strips;
}

}  // namespace tovasen
