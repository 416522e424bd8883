#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/picture_limits.h"
#include "scroll/view_match.h"
#include "scroll/view_pixels.h"

namespace tovasen {

// The tallest picture of the given width within the limits (at least 1 row).
int MaxPictureHeight(int width, const PictureLimits& limits);

// Joins the views of a window scrolled step by step into one tall picture: what does not
// scroll (a sticky header, a footer, side bars) once, every row of the content once and in
// order. A row goes into the picture only once a later view has confirmed it moves with the
// content, or at the end from the last view.
class ScrollStitcher {
public:
    // The first view, at the top of the content; maxHeight caps the picture.
    ScrollStitcher(ViewPixels first, int maxHeight);

    // Compares view with the last view taken. A moved view is taken; a still one is not kept;
    // anything else leaves the stitcher as it was, so another view may be tried instead.
    ViewMatch Add(ViewPixels view, std::optional<int> expectedOffset = {});

    int Width() const noexcept { return last_.Width(); }
    // Rows the picture has if finished now, before the cut to maxHeight.
    int Height() const noexcept { return taken_ + last_.Height() - pending_; }
    int MaxHeight() const noexcept { return maxHeight_; }
    bool AtLimit() const noexcept { return Height() >= maxHeight_; }
    int Steps() const noexcept { return steps_; }
    ScrollBand Band() const noexcept { return band_; }

    // Rows the finished picture will have: Height() cut to maxHeight.
    int PictureHeight() const noexcept;
    // Writes the picture as 32-bit rows (B, G, R, 0), top first, stride bytes apart, into
    // memory the caller sized for Width() x PictureHeight(). At the limit the content is cut
    // and the footer kept.
    void WritePicture(std::uint8_t* rows, std::ptrdiff_t stride) const;

private:
    struct Block {
        int rows = 0;
        std::vector<std::uint32_t> pixels;
    };
    static bool SameRow(const ViewPixels& a, const ViewPixels& b, int y);
    void Take(int from, int to);
    void FillFixed(std::uint32_t* row) const;
    std::uint32_t FillColour(int x) const;
    int FooterTop() const noexcept;

    ViewPixels first_;  // kept for the colours that continue a side bar below the first view
    ViewPixels last_;
    bool lastIsFirst_ = true;
    int pending_ = 0;   // rows of last_ above this are in blocks_
    int taken_ = 0;     // rows in blocks_
    int maxHeight_;
    int steps_ = 0;
    ScrollBand band_;
    std::vector<bool> fixedColumns_;
    mutable std::vector<std::optional<std::uint32_t>> fillColours_;
    std::vector<Block> blocks_;
};

}  // namespace tovasen
