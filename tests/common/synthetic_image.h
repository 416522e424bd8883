#pragma once
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen::test {

// An image owned by a test or benchmark, viewed as the encoders see bitmaps.
struct OwnedImage {
    int width = 0, height = 0, bytesPerPixel = 4;
    std::vector<std::uint8_t> pixels;  // B, G, R(, X), rows top first, no padding

    PixelView View() const {
        return PixelView{pixels.data(), width, height, static_cast<std::ptrdiff_t>(width) * bytesPerPixel,
                         bytesPerPixel};
    }
    std::uint8_t* At(int x, int y) {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * bytesPerPixel;
    }
};

// Looks like a screenshot: flat window areas, lines of dark "text", a colour gradient and a
// photo-like noisy patch. Deterministic for a given size; alpha bytes are deliberately random.
OwnedImage ScreenshotLike(int width, int height, int bytesPerPixel = 4);

// A smooth horizontal gradient between two colours.
OwnedImage Gradient(int width, int height);

}  // namespace tovasen::test
