#pragma once
#include <algorithm>

namespace tovasen {

// Picture coordinates of the editor: whole pixels of the picture at 100 %.
struct TPointI {
    int x = 0, y = 0;
    friend bool operator==(const TPointI&, const TPointI&) = default;
};

// A rectangle in picture pixels, right and bottom excluded.
struct TBox {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    bool Empty() const noexcept { return right <= left || bottom <= top; }
    bool Contains(TPointI p) const noexcept { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    TBox Inflated(int by) const noexcept { return {left - by, top - by, right + by, bottom + by}; }
    TBox Moved(int dx, int dy) const noexcept { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const TBox&, const TBox&) = default;
};

// The box spanned by two corners given in any order; both corner pixels lie inside it.
inline TBox BoxOfCorners(TPointI a, TPointI b) noexcept {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

inline TBox Intersection(const TBox& a, const TBox& b) noexcept {
    TBox r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.Empty() ? TBox{} : r;
}

// The smallest box holding both; an empty box adds nothing.
inline TBox Union(const TBox& a, const TBox& b) noexcept {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

inline bool Intersects(const TBox& a, const TBox& b) noexcept { return !Intersection(a, b).Empty(); }

// Distance from p to the segment a-b, in pixels.
double DistanceToSegment(TPointI p, TPointI a, TPointI b) noexcept;

}  // namespace tovasen
