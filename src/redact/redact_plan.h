#pragma once
// From what a recogniser read in a picture to the boxes that cover its secrets, and covering
// them in the pixels themselves.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "ocr/ocr_types.h"
#include "redact/secrets.h"

namespace tovasen {

// One secret's place: the boxes of all the words it touches as one, in pixels of the
// recognised picture.
struct TSecretBox {
    TSecretKind Kind;
    TSRect Box;
};

struct TRedactPlan {
    std::vector<TSecretBox> Boxes;
    // Secrets found in a line whose words give them no place (no words, or boxes that are empty
    // or not numbers): they cannot be covered.
    std::size_t Unplaced = 0;
};

using TSecretFinder = std::function<std::vector<TSecretMatch>(std::wstring_view line)>;

// Looks for secrets in every line: in its text when its words can be found there in order,
// otherwise in its words joined by single spaces.
TRedactPlan PlanRedaction(const TLines& lines, const TSecretFinder& find = FindSecrets);

// A box of whole pixels, right and bottom excluded.
struct TCoverRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const noexcept { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TCoverRect&, const TCoverRect&) = default;
};

// box, found in the picture enlarged by scaleX and scaleY, as whole pixels of the picture itself
// (width x height): every pixel the box reaches, one more on each side for the glyphs'
// antialiased edges, clipped to the picture.
TCoverRect CoverRect(const TSRect& box, double scaleX, double scaleY, int width, int height);

// A picture to write into: rows top first, B, G, R (and A with four bytes per pixel).
struct TPixelPlane {
    std::uint8_t* Data = nullptr;
    int Width = 0, Height = 0;
    std::ptrdiff_t Stride = 0;
    int BytesPerPixel = 4;
};

// Opaque black over rect (clipped to the picture).
void PaintBlack(const TPixelPlane& picture, const TCoverRect& rect);

}  // namespace tovasen
