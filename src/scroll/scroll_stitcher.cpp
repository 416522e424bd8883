#include "scroll/scroll_stitcher.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace tovasen {

int MaxPictureHeight(int width, const PictureLimits& limits) {
    if (width <= 0) return limits.maxHeight;
    const std::int64_t byPixels = limits.maxPixels / width;
    return static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(limits.maxHeight, byPixels)));
}

ScrollStitcher::ScrollStitcher(ViewPixels first, int maxHeight) : maxHeight_(std::max(1, maxHeight)) {
    if (first.Empty()) throw std::invalid_argument("the first view is empty");
    last_ = first;
    first_ = std::move(first);
}

ViewMatch ScrollStitcher::Add(ViewPixels view, std::optional<int> expectedOffset) {
    MatchRequest request;
    request.takenThrough = pending_;
    request.band = band_;
    request.expectedOffset = expectedOffset;
    ViewMatch match = MatchViews(last_, view, request);
    if (match.kind != MatchKind::kMoved) return match;

    fixedColumns_ = match.fixedColumns;
    // Rows of the last view down to the end of the match moved with the content: they are
    // confirmed. Rows below may still be a footer, so they wait for the next view. So do rows
    // at the end of the match that also equal the row at their own place: uniform rows of a
    // footer match each other at a small offset.
    int matchedEnd = match.runEnd;
    while (matchedEnd > match.runTop && SameRow(last_, view, matchedEnd - 1)) --matchedEnd;
    const int confirmedEnd = std::max(pending_, matchedEnd + match.offset);
    Take(pending_, confirmedEnd);
    pending_ = confirmedEnd - match.offset;
    const ScrollBand moved{match.runTop, match.runEnd + match.offset};
    band_ = band_.Known() ? ScrollBand{std::max(band_.top, moved.top), std::min(band_.bottom, moved.bottom)} : moved;
    last_ = std::move(view);
    lastIsFirst_ = false;
    ++steps_;
    return match;
}

bool ScrollStitcher::SameRow(const ViewPixels& a, const ViewPixels& b, int y) {
    for (int x = 0; x < a.Width(); ++x) {
        if (a.At(x, y) != b.At(x, y) && !a.Unsteady(x, y) && !b.Unsteady(x, y)) return false;
    }
    return true;
}

void ScrollStitcher::Take(int from, int to) {
    if (to <= from) return;
    Block block;
    block.rows = to - from;
    const std::size_t width = static_cast<std::size_t>(last_.Width());
    block.pixels.resize(width * static_cast<std::size_t>(block.rows));
    for (int y = from; y < to; ++y) {
        std::uint32_t* out = block.pixels.data() + width * static_cast<std::size_t>(y - from);
        std::copy_n(last_.Row(y), width, out);
        if (!lastIsFirst_) FillFixed(out);
    }
    taken_ += block.rows;
    blocks_.push_back(std::move(block));
}

// Below the first view a side bar is not repeated: its columns continue in its most common
// colour, the way its background would.
void ScrollStitcher::FillFixed(std::uint32_t* row) const {
    for (std::size_t x = 0; x < fixedColumns_.size(); ++x) {
        if (fixedColumns_[x]) row[x] = FillColour(static_cast<int>(x));
    }
}

std::uint32_t ScrollStitcher::FillColour(int x) const {
    if (fillColours_.empty()) fillColours_.resize(static_cast<std::size_t>(first_.Width()));
    std::optional<std::uint32_t>& colour = fillColours_[x];
    if (!colour) {
        std::map<std::uint32_t, int> counts;
        for (int y = 0; y < first_.Height(); ++y) ++counts[first_.At(x, y)];
        colour = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                     return a.second < b.second;
                 })->first;
    }
    return *colour;
}

int ScrollStitcher::FooterTop() const noexcept {
    const int height = last_.Height();
    if (!band_.Known()) return height;
    return std::clamp(band_.bottom, pending_, height);
}

int ScrollStitcher::PictureHeight() const noexcept { return std::min(Height(), maxHeight_); }

void ScrollStitcher::WritePicture(std::uint8_t* rows, std::ptrdiff_t stride) const {
    const std::size_t width = static_cast<std::size_t>(last_.Width());
    const int footerTop = FooterTop();
    const int footerRows = std::min(last_.Height() - footerTop, maxHeight_);
    const int bodyRows = PictureHeight() - footerRows;
    int y = 0;
    auto put = [&](const std::uint32_t* row, bool fill) {
        auto* out = reinterpret_cast<std::uint32_t*>(rows + stride * y);
        std::memcpy(out, row, width * sizeof(std::uint32_t));
        if (fill) FillFixed(out);
        ++y;
    };
    for (const Block& block : blocks_) {
        for (int r = 0; r < block.rows && y < bodyRows; ++r) put(block.pixels.data() + width * static_cast<std::size_t>(r), false);
    }
    for (int r = pending_; r < footerTop && y < bodyRows; ++r) put(last_.Row(r), !lastIsFirst_);
    for (int r = last_.Height() - footerRows; r < last_.Height(); ++r) put(last_.Row(r), false);
}

}  // namespace tovasen
