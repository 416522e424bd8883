#include "editor/gdiplus_painter.h"

#include <windows.h>

#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/errors.h"

namespace tovasen {
namespace {

using namespace Gdiplus;

// Highlighter ink lets the picture show through.
constexpr BYTE kHighlighterAlpha = 96;

Color Ink(std::uint32_t rgb, BYTE alpha = 255) {
    return Color(alpha, static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

PointF Centre(TPointI p) { return PointF(static_cast<REAL>(p.x) + 0.5f, static_cast<REAL>(p.y) + 0.5f); }

std::unique_ptr<FontFamily> TextFamily() { return std::make_unique<FontFamily>(TextFaceName().c_str()); }

// Lines break only where the text does; measuring and drawing use the same format.
std::unique_ptr<StringFormat> TextFormat() {
    std::unique_ptr<StringFormat> format(StringFormat::GenericTypographic()->Clone());
    format->SetFormatFlags(format->GetFormatFlags() | StringFormatFlagsNoWrap | StringFormatFlagsMeasureTrailingSpaces);
    return format;
}

// Outline drawn inside its box on whole pixels: crisp, and exactly where it was dragged.
void PaintRectangle(Graphics& g, const TAnnotation& a) {
    const TBox b = PointsBox(a);
    const SolidBrush brush(Ink(a.Color));
    g.SetSmoothingMode(SmoothingModeNone);
    const int s = a.Size;
    if (b.Width() <= 2 * s || b.Height() <= 2 * s) {
        g.FillRectangle(&brush, b.left, b.top, b.Width(), b.Height());
    } else {
        g.FillRectangle(&brush, b.left, b.top, b.Width(), s);
        g.FillRectangle(&brush, b.left, b.bottom - s, b.Width(), s);
        g.FillRectangle(&brush, b.left, b.top + s, s, b.Height() - 2 * s);
        g.FillRectangle(&brush, b.right - s, b.top + s, s, b.Height() - 2 * s);
    }
    g.SetSmoothingMode(SmoothingModeAntiAlias);
}

void PaintEllipse(Graphics& g, const TAnnotation& a) {
    const TBox b = PointsBox(a);
    const REAL s = static_cast<REAL>(a.Size);
    if (b.Width() <= a.Size || b.Height() <= a.Size) {
        const SolidBrush brush(Ink(a.Color));
        g.FillEllipse(&brush, b.left, b.top, b.Width(), b.Height());
        return;
    }
    const Pen pen(Ink(a.Color), s);
    g.DrawEllipse(&pen, static_cast<REAL>(b.left) + s / 2, static_cast<REAL>(b.top) + s / 2,
                  static_cast<REAL>(b.Width()) - s, static_cast<REAL>(b.Height()) - s);
}

void PaintStroke(Graphics& g, const TAnnotation& a, BYTE alpha) {
    Pen pen(Ink(a.Color, alpha), static_cast<REAL>(a.Size));
    pen.SetLineJoin(LineJoinRound);
    pen.SetStartCap(LineCapRound);
    pen.SetEndCap(LineCapRound);
    if (a.Points.size() == 1) {
        const SolidBrush brush(Ink(a.Color, alpha));
        const REAL r = static_cast<REAL>(a.Size) / 2;
        const PointF c = Centre(a.Points[0]);
        g.FillEllipse(&brush, c.X - r, c.Y - r, 2 * r, 2 * r);
        return;
    }
    std::vector<PointF> points;
    points.reserve(a.Points.size());
    for (const TPointI& p : a.Points) points.push_back(Centre(p));
    g.DrawLines(&pen, points.data(), static_cast<INT>(points.size()));
}

void PaintArrow(Graphics& g, const TAnnotation& a) {
    const PointF from = Centre(a.Points.front()), to = Centre(a.Points.back());
    const REAL dx = to.X - from.X, dy = to.Y - from.Y;
    const REAL length = std::hypot(dx, dy);
    const SolidBrush brush(Ink(a.Color));
    const REAL head = static_cast<REAL>(ArrowHeadLength(a.Size));
    if (length < 0.5f) return;
    const REAL ux = dx / length, uy = dy / length;
    // The head is at most half the arrow, so a short arrow is still an arrow.
    const REAL h = std::min(head, length / 2);
    const PointF base(to.X - ux * h, to.Y - uy * h);
    Pen pen(Ink(a.Color), static_cast<REAL>(a.Size));
    pen.SetStartCap(LineCapRound);
    g.DrawLine(&pen, from, base);
    const PointF wings[3] = {to, PointF(base.X - uy * h / 2, base.Y + ux * h / 2), PointF(base.X + uy * h / 2, base.Y - ux * h / 2)};
    g.FillPolygon(&brush, wings, 3);
}

void PaintText(Graphics& g, const TAnnotation& a, const FontFamily& family, const StringFormat& format) {
    const TBox b = PointsBox(a);
    const Font font(&family, static_cast<REAL>(a.Size), FontStyleRegular, UnitPixel);
    const SolidBrush brush(Ink(a.Color));
    // Never outside its box: the box is what a saved file restores.
    Region previous;
    g.GetClip(&previous);
    g.IntersectClip(Rect(b.left, b.top, b.Width(), b.Height()));
    g.DrawString(a.Text.c_str(), static_cast<INT>(a.Text.size()), &font,
                 RectF(static_cast<REAL>(b.left), static_cast<REAL>(b.top), static_cast<REAL>(b.Width()),
                       static_cast<REAL>(b.Height())),
                 &format, &brush);
    g.SetClip(&previous);
}

void PaintStep(Graphics& g, const TAnnotation& a, int number, const FontFamily& family) {
    const REAL d = static_cast<REAL>(StepDiameter(a.Size));
    const PointF c = Centre(a.Points.front());
    const SolidBrush fill(Ink(a.Color));
    g.FillEllipse(&fill, c.X - d / 2, c.Y - d / 2, d, d);
    // Dark figures on a light disc, white ones on a dark disc.
    const int luminance = (299 * static_cast<int>((a.Color >> 16) & 0xFF) + 587 * static_cast<int>((a.Color >> 8) & 0xFF) +
                           114 * static_cast<int>(a.Color & 0xFF)) / 1000;
    const SolidBrush figures(luminance > 160 ? Color(255, 0, 0, 0) : Color(255, 255, 255, 255));
    const std::wstring text = std::to_wstring(number);
    const REAL size = d * (text.size() > 2 ? 0.4f : text.size() == 2 ? 0.48f : 0.56f);
    const Font font(&family, size, FontStyleBold, UnitPixel);
    StringFormat centred;
    centred.SetAlignment(StringAlignmentCenter);
    centred.SetLineAlignment(StringAlignmentCenter);
    g.DrawString(text.c_str(), static_cast<INT>(text.size()), &font, RectF(c.X - d / 2, c.Y - d / 2, d, d), &centred,
                 &figures);
}

}  // namespace

const std::wstring& TextFaceName() {
    // The first face present; the system's own font list as a last resort.
    static const std::wstring name = [] {
        for (const wchar_t* face : {L"Segoe UI", L"Malgun Gothic", L"NanumGothic", L"Tahoma", L"Arial"}) {
            const FontFamily family(face);
            if (family.IsAvailable()) return std::wstring(face);
        }
        const InstalledFontCollection installed;
        FontFamily first;
        INT found = 0;
        if (installed.GetFamilyCount() > 0 && installed.GetFamilies(1, &first, &found) == Ok && found == 1) {
            wchar_t face[LF_FACESIZE] = {};
            if (first.GetFamilyName(face) == Ok) return std::wstring(face);
        }
        throw Exception(L"No font is installed for text.");
    }();
    return name;
}

void PaintObjects(TPixelBuffer& picture, const TDocument& doc, const TBox& clip, std::uint32_t hidden) {
    const TBox area = Intersection(clip, picture.Bounds());
    if (area.Empty()) return;
    std::vector<const TAnnotation*> visible;
    for (const TAnnotation* a : PaintOrder(doc)) {
        if (!IsRedaction(a->Kind) && a->Id != hidden && Intersects(PaintBounds(*a), area)) visible.push_back(a);
    }
    if (visible.empty()) return;
    Bitmap target(picture.Width(), picture.Height(), picture.Stride(), PixelFormat32bppRGB,
                  reinterpret_cast<BYTE*>(picture.Data()));
    Graphics g(&target);
    if (g.GetLastStatus() != Ok) throw Exception(L"GDI+ could not draw on the picture.");
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    g.SetPixelOffsetMode(PixelOffsetModeHalf);
    g.SetTextRenderingHint(TextRenderingHintAntiAlias);
    g.SetClip(Rect(area.left, area.top, area.Width(), area.Height()));
    const std::unique_ptr<FontFamily> family = TextFamily();
    const std::unique_ptr<StringFormat> format = TextFormat();
    for (const TAnnotation* a : visible) {
        switch (a->Kind) {
        case TShapeKind::Rectangle:
            PaintRectangle(g, *a);
            break;
        case TShapeKind::Ellipse:
            PaintEllipse(g, *a);
            break;
        case TShapeKind::Line:
        case TShapeKind::Pen:
            PaintStroke(g, *a, 255);
            break;
        case TShapeKind::Highlighter:
            PaintStroke(g, *a, kHighlighterAlpha);
            break;
        case TShapeKind::Arrow:
            PaintArrow(g, *a);
            break;
        case TShapeKind::Text:
            PaintText(g, *a, *family, *format);
            break;
        case TShapeKind::Step:
            PaintStep(g, *a, StepNumber(doc, *a), *family);
            break;
        case TShapeKind::Pixelate:
        case TShapeKind::Blackout:
            break;
        }
    }
}

TBox MeasureTextBox(const std::wstring& text, int fontSize, TPointI at) {
    Bitmap scratch(1, 1, PixelFormat32bppRGB);
    Graphics g(&scratch);
    g.SetTextRenderingHint(TextRenderingHintAntiAlias);
    const std::unique_ptr<FontFamily> family = TextFamily();
    const Font font(family.get(), static_cast<REAL>(fontSize), FontStyleRegular, UnitPixel);
    const std::unique_ptr<StringFormat> format = TextFormat();
    // An empty last line still takes its height, so the box grows as Enter is pressed.
    const std::wstring measured = text.empty() || text.back() == L'\n' ? text + L" " : text;
    RectF bounds;
    g.MeasureString(measured.c_str(), static_cast<INT>(measured.size()), &font, PointF(0, 0), format.get(), &bounds);
    // A little room for antialiased edges and italics-like overhangs of some faces.
    const int width = static_cast<int>(std::ceil(bounds.Width)) + 2 + fontSize / 8;
    const int height = static_cast<int>(std::ceil(bounds.Height)) + 2;
    return {at.x, at.y, at.x + std::max(width, 4), at.y + std::max(height, fontSize)};
}

}  // namespace tovasen
