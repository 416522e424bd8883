#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/geometry.h"

namespace tovasen {

// What an annotation is. Redactions (pixelate, blackout) change the picture itself; the others
// are drawn over it.
enum class TShapeKind : int { Rectangle, Ellipse, Arrow, Line, Pen, Highlighter, Text, Step, Pixelate, Blackout };

// One object drawn over the picture, in picture pixels. Points by kind:
//  rectangle, ellipse, text, pixelate, blackout: two opposite corners, both inside the shape;
//  line, arrow: start and end; pen, highlighter: the stroke's points; step: its centre.
struct TAnnotation {
    std::uint32_t Id = 0;
    TShapeKind Kind = TShapeKind::Rectangle;
    std::uint32_t Color = 0xFF0000;  // 0xRRGGBB
    // Stroke width in pixels; for text the font size in pixels.
    int Size = 3;
    std::vector<TPointI> Points;
    std::wstring Text;
    // Steps are numbered by this: 1 for the earliest step still there, 2 for the next...
    std::uint32_t Serial = 0;
    // Pixelate: varies each block's colour so the blocks cannot be matched against guesses.
    std::uint32_t Seed = 0;

    friend bool operator==(const TAnnotation&, const TAnnotation&) = default;
};

inline constexpr int kMinStroke = 1, kMaxStroke = 64;
inline constexpr int kMinFontSize = 6, kMaxFontSize = 200;
// Pixelate blocks are never smaller than this (at 100 %), whatever the width chosen.
inline constexpr int kMinPixelBlock = 12;

bool IsRedaction(TShapeKind kind) noexcept;
// Kinds whose two points are corners of a box.
bool IsBoxKind(TShapeKind kind) noexcept;
bool IsStrokeKind(TShapeKind kind) noexcept;  // pen, highlighter
int ClampSize(TShapeKind kind, int size) noexcept;

int StepDiameter(int size) noexcept;
int ArrowHeadLength(int size) noexcept;
int PixelBlockSize(int size) noexcept;

// The box of a box kind's two corners (or of all points).
TBox PointsBox(const TAnnotation& a) noexcept;
// Every pixel painting the object may touch, antialiasing included.
TBox PaintBounds(const TAnnotation& a) noexcept;

// Whether a click at p picks the object: outlines near their line, filled shapes anywhere
// inside; tolerance in picture pixels.
bool HitTest(const TAnnotation& a, TPointI p, double tolerance) noexcept;

void MoveBy(TAnnotation& a, int dx, int dy) noexcept;

// Grips of a selected object: 8 around a box (clockwise from the top-left corner), the two
// ends of a line or arrow, none for steps and text.
std::vector<TPointI> Handles(const TAnnotation& a);
// The object as it is when grip `handle` of `original` is dragged to `to`.
TAnnotation Resized(const TAnnotation& original, int handle, TPointI to);

}  // namespace tovasen
