#include "editor/annotation.h"

#include <algorithm>
#include <cmath>

namespace tovasen {
namespace {

// Antialiased edges spill into the next pixel; round caps and joins reach half the width.
constexpr int kSpill = 2;

TBox Deflated(const TBox& b, int by) noexcept { return b.Inflated(-by); }

// Maps v from [from0, from1] to [to0, to1] (both inclusive), rounding.
int Rescale(int v, int from0, int from1, int to0, int to1) noexcept {
    if (from1 == from0) return to0;
    const double t = static_cast<double>(v - from0) / static_cast<double>(from1 - from0);
    return to0 + static_cast<int>(std::lround(t * (to1 - to0)));
}

}  // namespace

double DistanceToSegment(TPointI p, TPointI a, TPointI b) noexcept {
    const double vx = b.x - a.x, vy = b.y - a.y, wx = p.x - a.x, wy = p.y - a.y;
    const double length2 = vx * vx + vy * vy;
    const double t = length2 > 0 ? std::clamp((wx * vx + wy * vy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(wx - t * vx, wy - t * vy);
}

bool IsRedaction(TShapeKind kind) noexcept { return kind == TShapeKind::Pixelate || kind == TShapeKind::Blackout; }

bool IsBoxKind(TShapeKind kind) noexcept {
    switch (kind) {
    case TShapeKind::Rectangle:
    case TShapeKind::Ellipse:
    case TShapeKind::Text:
    case TShapeKind::Pixelate:
    case TShapeKind::Blackout:
        return true;
    default:
        return false;
    }
}

bool IsStrokeKind(TShapeKind kind) noexcept { return kind == TShapeKind::Pen || kind == TShapeKind::Highlighter; }

int ClampSize(TShapeKind kind, int size) noexcept {
    if (kind == TShapeKind::Text) return std::clamp(size, kMinFontSize, kMaxFontSize);
    return std::clamp(size, kMinStroke, kMaxStroke);
}

int StepDiameter(int size) noexcept { return 16 + 4 * std::clamp(size, kMinStroke, kMaxStroke); }
int ArrowHeadLength(int size) noexcept { return 8 + 3 * std::clamp(size, kMinStroke, kMaxStroke); }
int PixelBlockSize(int size) noexcept { return std::max(kMinPixelBlock, 4 * std::clamp(size, kMinStroke, kMaxStroke)); }

TBox PointsBox(const TAnnotation& a) noexcept {
    if (a.Points.empty()) return {};
    TBox box = BoxOfCorners(a.Points.front(), a.Points.front());
    for (const TPointI& p : a.Points) box = Union(box, BoxOfCorners(p, p));
    return box;
}

TBox PaintBounds(const TAnnotation& a) noexcept {
    if (a.Points.empty()) return {};
    const TBox box = PointsBox(a);
    switch (a.Kind) {
    case TShapeKind::Rectangle:
    case TShapeKind::Pixelate:
    case TShapeKind::Blackout:
    case TShapeKind::Text:
        return box;  // drawn inside its box, edges on whole pixels, text clipped to it
    case TShapeKind::Ellipse:
        return box.Inflated(kSpill);
    case TShapeKind::Line:
    case TShapeKind::Pen:
    case TShapeKind::Highlighter:
        return box.Inflated((a.Size + 1) / 2 + kSpill);
    case TShapeKind::Arrow:
        return box.Inflated(std::max((a.Size + 1) / 2, ArrowHeadLength(a.Size)) + kSpill);
    case TShapeKind::Step: {
        const int radius = (StepDiameter(a.Size) + 1) / 2;
        return box.Inflated(radius + kSpill);
    }
    }
    return box;
}

bool HitTest(const TAnnotation& a, TPointI p, double tolerance) noexcept {
    if (a.Points.empty()) return false;
    const int slack = static_cast<int>(std::ceil(tolerance));
    const double halfWidth = a.Size / 2.0;
    switch (a.Kind) {
    case TShapeKind::Rectangle: {
        const TBox box = PointsBox(a);
        const TBox inner = Deflated(box, a.Size + slack);
        return box.Inflated(slack).Contains(p) && !inner.Contains(p);
    }
    case TShapeKind::Ellipse: {
        const TBox box = PointsBox(a);
        const double rx = box.Width() / 2.0, ry = box.Height() / 2.0;
        const double cx = box.left + rx, cy = box.top + ry;
        const double dx = (p.x + 0.5 - cx) / rx, dy = (p.y + 0.5 - cy) / ry;
        // Distance from the outline, measured along the radius through p.
        const double off = std::abs(std::sqrt(dx * dx + dy * dy) - 1.0) * std::min(rx, ry);
        return off <= halfWidth + tolerance;
    }
    case TShapeKind::Text:
    case TShapeKind::Pixelate:
    case TShapeKind::Blackout:
        return PointsBox(a).Inflated(slack).Contains(p);
    case TShapeKind::Step: {
        const TPointI c = a.Points.front();
        return std::hypot(p.x - c.x, p.y - c.y) <= StepDiameter(a.Size) / 2.0 + tolerance;
    }
    case TShapeKind::Line:
    case TShapeKind::Arrow:
    case TShapeKind::Pen:
    case TShapeKind::Highlighter: {
        const double reach = std::max(halfWidth, a.Kind == TShapeKind::Arrow ? 2.0 : 0.0) + tolerance;
        if (a.Points.size() == 1) return DistanceToSegment(p, a.Points[0], a.Points[0]) <= reach;
        for (std::size_t i = 1; i < a.Points.size(); ++i) {
            if (DistanceToSegment(p, a.Points[i - 1], a.Points[i]) <= reach) return true;
        }
        if (a.Kind == TShapeKind::Arrow) {
            // The head is a triangle at the end: near its tip counts too.
            return DistanceToSegment(p, a.Points.back(), a.Points.back()) <= ArrowHeadLength(a.Size) / 2.0 + tolerance;
        }
        return false;
    }
    }
    return false;
}

void MoveBy(TAnnotation& a, int dx, int dy) noexcept {
    for (TPointI& p : a.Points) {
        p.x += dx;
        p.y += dy;
    }
}

std::vector<TPointI> Handles(const TAnnotation& a) {
    if (a.Points.empty() || a.Kind == TShapeKind::Step || a.Kind == TShapeKind::Text) return {};
    if (a.Kind == TShapeKind::Line || a.Kind == TShapeKind::Arrow) return {a.Points.front(), a.Points.back()};
    const TBox b = PointsBox(a);
    const int l = b.left, t = b.top, r = b.right - 1, btm = b.bottom - 1;
    const int mx = (l + r) / 2, my = (t + btm) / 2;
    return {{l, t}, {mx, t}, {r, t}, {r, my}, {r, btm}, {mx, btm}, {l, btm}, {l, my}};
}

TAnnotation Resized(const TAnnotation& original, int handle, TPointI to) {
    TAnnotation a = original;
    if (a.Points.empty()) return a;
    if (a.Kind == TShapeKind::Line || a.Kind == TShapeKind::Arrow) {
        if (handle == 0) a.Points.front() = to;
        else if (handle == 1) a.Points.back() = to;
        return a;
    }
    if (a.Kind == TShapeKind::Step || a.Kind == TShapeKind::Text || handle < 0 || handle > 7) return a;
    const TBox b = PointsBox(original);
    int l = b.left, t = b.top, r = b.right - 1, btm = b.bottom - 1;
    // Which edges the grip carries: corners two, sides one.
    static constexpr bool kLeft[8] = {true, false, false, false, false, false, true, true};
    static constexpr bool kTop[8] = {true, true, true, false, false, false, false, false};
    static constexpr bool kRight[8] = {false, false, true, true, true, false, false, false};
    static constexpr bool kBottom[8] = {false, false, false, false, true, true, true, false};
    if (kLeft[handle]) l = to.x;
    if (kTop[handle]) t = to.y;
    if (kRight[handle]) r = to.x;
    if (kBottom[handle]) btm = to.y;
    if (IsBoxKind(a.Kind)) {
        a.Points = {{l, t}, {r, btm}};
        return a;
    }
    // Strokes stretch with their box; dragged past the opposite edge they mirror.
    for (TPointI& p : a.Points) {
        p.x = Rescale(p.x, b.left, b.right - 1, l, r);
        p.y = Rescale(p.y, b.top, b.bottom - 1, t, btm);
    }
    return a;
}

}  // namespace tovasen
