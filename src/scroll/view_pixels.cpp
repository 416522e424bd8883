#include "scroll/view_pixels.h"

#include <stdexcept>
#include <string>

namespace tovasen {

ViewPixels::ViewPixels(int width, int height)
    : width_(width > 0 && height > 0 ? width : 0),
      height_(width > 0 && height > 0 ? height : 0),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {}

ViewPixels::ViewPixels(const PixelView& view) : ViewPixels(view.width, view.height) {
    if (Empty()) return;
    if ((view.bytesPerPixel != 3 && view.bytesPerPixel != 4) || !view.data) {
        throw std::invalid_argument("a view needs 24 or 32 bits per pixel, not " +
                                    std::to_string(view.bytesPerPixel * 8));
    }
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = view.Row(y);
        std::uint32_t* out = Row(y);
        for (int x = 0; x < width_; ++x, in += view.bytesPerPixel) {
            out[x] = std::uint32_t{in[0]} | (std::uint32_t{in[1]} << 8) | (std::uint32_t{in[2]} << 16);
        }
    }
}

bool ViewPixels::RowUnsteady(int y, int x0, int x1) const noexcept {
    if (unsteadyCount_ == 0) return false;
    const std::uint8_t* row = unsteady_.data() + static_cast<std::size_t>(y) * width_;
    for (int x = x0; x < x1; ++x) {
        if (row[x]) return true;
    }
    return false;
}

void ViewPixels::Mark(std::size_t index) {
    if (unsteady_.empty()) unsteady_.assign(pixels_.size(), 0);
    if (!unsteady_[index]) {
        unsteady_[index] = 1;
        ++unsteadyCount_;
    }
}

void ViewPixels::MarkChangesFrom(const ViewPixels& other) {
    if (other.width_ != width_ || other.height_ != height_) throw std::invalid_argument("views of different sizes");
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        if (pixels_[i] != other.pixels_[i]) Mark(i);
    }
}

void ViewPixels::MarkUnsteadyFrom(const ViewPixels& other) {
    if (other.width_ != width_ || other.height_ != height_) throw std::invalid_argument("views of different sizes");
    if (other.unsteadyCount_ == 0) return;
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        if (other.unsteady_[i]) Mark(i);
    }
}

bool EqualWhereSteady(const ViewPixels& a, const ViewPixels& b) noexcept {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    if (!a.AnyUnsteady() && !b.AnyUnsteady()) return a == b;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            if (a.At(x, y) != b.At(x, y) && !a.Unsteady(x, y) && !b.Unsteady(x, y)) return false;
        }
    }
    return true;
}

std::uint64_t RowHash(const ViewPixels& view, int y, int x0, int x1) noexcept {
    std::uint64_t hash = 14695981039346656037ull;
    const std::uint32_t* row = view.Row(y);
    for (int x = x0; x < x1; ++x) {
        hash ^= row[x];
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace tovasen
