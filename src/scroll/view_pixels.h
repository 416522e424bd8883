#pragma once
#include <cstdint>
#include <vector>

#include "image/pixel_view.h"

namespace tovasen {

// One grab of a scrolled view, owned: pixels as 0x00RRGGBB (whatever the grab left in the
// fourth byte is dropped), rows top first, and which pixels were seen changing by themselves
// while the view stood still (a clock, a spinner). Such pixels are never compared.
class ViewPixels {
public:
    ViewPixels() = default;
    ViewPixels(int width, int height);
    // Copies a 24- or 32-bit view; raises std::invalid_argument for anything else.
    explicit ViewPixels(const PixelView& view);

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    bool Empty() const noexcept { return width_ <= 0 || height_ <= 0; }

    const std::uint32_t* Row(int y) const noexcept { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    std::uint32_t* Row(int y) noexcept { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    std::uint32_t At(int x, int y) const noexcept { return Row(y)[x]; }

    bool Unsteady(int x, int y) const noexcept {
        return !unsteady_.empty() && unsteady_[static_cast<std::size_t>(y) * width_ + x] != 0;
    }
    // True when any pixel of row y in columns [x0, x1) changes by itself.
    bool RowUnsteady(int y, int x0, int x1) const noexcept;
    bool AnyUnsteady() const noexcept { return unsteadyCount_ > 0; }
    // Marks every pixel that differs from other (same size) as changing by itself.
    void MarkChangesFrom(const ViewPixels& other);
    // Takes over the marks of other (same size) as well.
    void MarkUnsteadyFrom(const ViewPixels& other);

    bool operator==(const ViewPixels& other) const noexcept {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

private:
    void Mark(std::size_t index);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::vector<std::uint8_t> unsteady_;  // empty until a pixel is marked
    std::size_t unsteadyCount_ = 0;
};

// Whether the views are equal wherever neither is marked as changing by itself.
bool EqualWhereSteady(const ViewPixels& a, const ViewPixels& b) noexcept;

// FNV-1a over the pixels of row y in columns [x0, x1).
std::uint64_t RowHash(const ViewPixels& view, int y, int x0, int x1) noexcept;

}  // namespace tovasen
