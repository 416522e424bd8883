#include "select/selection_pixels.h"

#include <algorithm>
#include <cstring>

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

void DarkenSpan(const std::uint8_t* from, std::uint8_t* to, int pixels, int bytesPerPixel) {
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

// The columns [left, right) of row y copied from source to target.
void CopySpan(const TPixelRows& source, const TPixelRows& target, int y, int left, int right) {
    if (right <= left) return;
    const std::size_t offset = static_cast<std::size_t>(left) * static_cast<std::size_t>(source.bytesPerPixel);
    std::memcpy(target.Row(y) + offset, source.Row(y) + offset,
                static_cast<std::size_t>(right - left) * static_cast<std::size_t>(source.bytesPerPixel));
}

// The columns one row of a selection covers: [left, right), empty when the row is outside it.
struct Span {
    int left = 0, right = 0;
};
Span RowSpan(const TRectI& r, int y) {
    if (r.Empty() || y < r.top || y >= r.bottom) return {};
    return {r.left, r.right};
}

void Include(TRectI& bounds, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    if (bounds.Empty()) {
        bounds = {left, top, right, bottom};
        return;
    }
    bounds = {std::min(bounds.left, left), std::min(bounds.top, top), std::max(bounds.right, right),
              std::max(bounds.bottom, bottom)};
}

}  // namespace

void DarkenAll(const TPixelRows& source, const TPixelRows& dark) {
    for (int y = 0; y < source.height; ++y) DarkenSpan(source.Row(y), dark.Row(y), source.width, source.bytesPerPixel);
}

TRectI ComposeSelection(const TPixelRows& bright, const TPixelRows& dark, const TPixelRows& shown,
                        const TRectI& beforeRaw, const TRectI& afterRaw) {
    const TRectI before = ClipRect(beforeRaw, shown.width, shown.height);
    const TRectI after = ClipRect(afterRaw, shown.width, shown.height);
    TRectI changed{};
    if (before == after) return changed;
    const int top = before.Empty() ? after.top : after.Empty() ? before.top : std::min(before.top, after.top);
    const int bottom =
        before.Empty() ? after.bottom : after.Empty() ? before.bottom : std::max(before.bottom, after.bottom);
    for (int y = top; y < bottom; ++y) {
        const Span was = RowSpan(before, y);
        const Span now = RowSpan(after, y);
        if (was.left == now.left && was.right == now.right) continue;
        // Columns that left the selection go dark, columns that entered it go bright. Each side
        // is at most two pieces: left of the other span and right of it.
        auto paint = [&](const Span& from, const Span& minus, const TPixelRows& source) {
            if (from.right <= from.left) return;
            if (minus.right <= minus.left) {
                CopySpan(source, shown, y, from.left, from.right);
                Include(changed, from.left, y, from.right, y + 1);
                return;
            }
            const int leftEnd = std::min(from.right, minus.left);
            CopySpan(source, shown, y, from.left, leftEnd);
            Include(changed, from.left, y, leftEnd, y + 1);
            const int rightStart = std::max(from.left, minus.right);
            CopySpan(source, shown, y, rightStart, from.right);
            Include(changed, rightStart, y, from.right, y + 1);
        };
        paint(was, now, dark);
        paint(now, was, bright);
    }
    return changed;
}

void ComposeSelectionFull(const TPixelRows& bright, const TPixelRows& shown, const TRectI& selection) {
    for (int y = 0; y < bright.height; ++y) {
        std::memcpy(shown.Row(y), bright.Row(y), static_cast<std::size_t>(bright.stride));
        for (int x = 0; x < bright.width; ++x) {
            const bool inside = x >= selection.left && x < selection.right && y >= selection.top && y < selection.bottom;
            if (inside) continue;
            std::uint8_t* p = shown.Row(y) + static_cast<std::ptrdiff_t>(x) * bright.bytesPerPixel;
            for (int c = 0; c < 3; ++c) p[c] = DarkenByte(p[c]);
        }
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
