#include "editor/redaction.h"

#include <algorithm>
#include <vector>

namespace tovasen {
namespace {

// How far the pattern moves a channel either way.
constexpr int kJitter = 6;

std::uint32_t Mix(std::uint32_t seed, int bx, int by) noexcept {
    std::uint32_t h = seed ^ (static_cast<std::uint32_t>(bx) * 0x9E3779B1u) ^ (static_cast<std::uint32_t>(by) * 0x85EBCA77u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

std::uint32_t Channel(std::uint64_t sum, std::uint64_t count, std::uint32_t noise) noexcept {
    const int average = static_cast<int>((sum + count / 2) / count);
    const int shift = static_cast<int>(noise % (2 * kJitter + 1)) - kJitter;
    return static_cast<std::uint32_t>(std::clamp(average + shift, 0, 255));
}

// Edges of n blocks splitting [from, to) as evenly as whole pixels allow.
std::vector<int> Splits(int from, int to, int block) {
    const int length = to - from;
    const int n = std::max(1, length / block);
    std::vector<int> edges(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) edges[static_cast<std::size_t>(i)] = from + static_cast<int>(static_cast<long long>(length) * i / n);
    return edges;
}

}  // namespace

void Pixelate(TPixelBuffer& image, const TBox& box, int blockSize, std::uint32_t seed) {
    const TBox area = Intersection(box, image.Bounds());
    if (area.Empty()) return;
    blockSize = std::max(blockSize, kMinPixelBlock);
    const std::vector<int> xs = Splits(area.left, area.right, blockSize);
    const std::vector<int> ys = Splits(area.top, area.bottom, blockSize);
    for (std::size_t by = 0; by + 1 < ys.size(); ++by) {
        for (std::size_t bx = 0; bx + 1 < xs.size(); ++bx) {
            std::uint64_t r = 0, g = 0, b = 0, count = 0;
            for (int y = ys[by]; y < ys[by + 1]; ++y) {
                const std::uint32_t* row = image.Row(y);
                for (int x = xs[bx]; x < xs[bx + 1]; ++x) {
                    r += (row[x] >> 16) & 0xFF;
                    g += (row[x] >> 8) & 0xFF;
                    b += row[x] & 0xFF;
                    ++count;
                }
            }
            const std::uint32_t noise = Mix(seed, static_cast<int>(bx), static_cast<int>(by));
            const std::uint32_t color = 0xFF000000u | (Channel(r, count, noise) << 16) |
                                        (Channel(g, count, noise >> 8) << 8) | Channel(b, count, noise >> 16);
            for (int y = ys[by]; y < ys[by + 1]; ++y) {
                std::fill(image.Row(y) + xs[bx], image.Row(y) + xs[bx + 1], color);
            }
        }
    }
}

void Blackout(TPixelBuffer& image, const TBox& box) {
    const TBox area = Intersection(box, image.Bounds());
    for (int y = area.top; y < area.bottom; ++y) std::fill(image.Row(y) + area.left, image.Row(y) + area.right, 0xFF000000u);
}

void ApplyRedaction(TPixelBuffer& image, const TAnnotation& redaction) {
    if (redaction.Kind == TShapeKind::Pixelate) {
        Pixelate(image, PointsBox(redaction), PixelBlockSize(redaction.Size), redaction.Seed);
    } else if (redaction.Kind == TShapeKind::Blackout) {
        Blackout(image, PointsBox(redaction));
    }
}

TPixelBuffer Burn(const TPixelBuffer& base, const TDocument& doc) {
    TPixelBuffer burned = base;
    for (const TAnnotation& a : doc.Objects) ApplyRedaction(burned, a);
    return burned;
}

TBox RefreshBurned(const TPixelBuffer& base, TPixelBuffer& burned, const TDocument& doc, TBox area) {
    area = Intersection(area, base.Bounds());
    if (area.Empty()) return {};
    // Grow to a fixed point: a redaction that overlaps one inside reads pixels it covers.
    for (bool grown = true; grown;) {
        grown = false;
        for (const TAnnotation& a : doc.Objects) {
            if (!IsRedaction(a.Kind)) continue;
            const TBox box = Intersection(PointsBox(a), base.Bounds());
            if (Intersects(box, area) && !(Union(area, box) == area)) {
                area = Union(area, box);
                grown = true;
            }
        }
    }
    burned.CopyFrom(base, area);
    for (const TAnnotation& a : doc.Objects) {
        if (IsRedaction(a.Kind) && Intersects(PointsBox(a), area)) ApplyRedaction(burned, a);
    }
    return area;
}

}  // namespace tovasen
