#include <algorithm>
#include <climits>

#include "encode/encode_error.h"
#include "encode/gif_encoder.h"

namespace tovasen {
namespace {

// Nearest palette entries, remembered per 6-bit colour cell: dithered colours repeat a lot.
// A miss searches the palette sorted by red outwards from the colour's red, stopping once the
// red distance alone exceeds the best match.
class NearestColour {
public:
    explicit NearestColour(const std::vector<Rgb>& palette) : palette_(palette), cache_(1u << 18, kUnknown) {
        for (std::size_t i = 0; i < palette.size(); ++i) byRed_.push_back(static_cast<std::uint8_t>(i));
        std::sort(byRed_.begin(), byRed_.end(), [&](std::uint8_t a, std::uint8_t b) { return palette[a].r < palette[b].r; });
    }

    std::uint8_t operator()(int r, int g, int b) {
        const unsigned key = (static_cast<unsigned>(r >> 2) << 12) | (static_cast<unsigned>(g >> 2) << 6) |
                             static_cast<unsigned>(b >> 2);
        std::uint16_t& cached = cache_[key];
        if (cached == kUnknown) cached = Search(r, g, b);
        return static_cast<std::uint8_t>(cached);
    }

private:
    std::uint16_t Search(int r, int g, int b) const {
        const auto start = std::lower_bound(byRed_.begin(), byRed_.end(), r,
                                            [&](std::uint8_t i, int red) { return palette_[i].r < red; });
        int best = 0, bestDistance = INT_MAX;
        auto consider = [&](std::uint8_t i) {
            const int dr = r - palette_[i].r, dg = g - palette_[i].g, db = b - palette_[i].b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
            return dr * dr < bestDistance;  // farther entries in this direction cannot win
        };
        for (auto up = start; up != byRed_.end() && (consider(*up) || palette_[*up].r <= r); ++up) {
        }
        for (auto down = start; down != byRed_.begin();) {
            --down;
            if (!consider(*down) && palette_[*down].r < r) break;
        }
        return static_cast<std::uint16_t>(best);
    }

    static constexpr std::uint16_t kUnknown = 0xFFFF;
    const std::vector<Rgb>& palette_;
    std::vector<std::uint8_t> byRed_;
    std::vector<std::uint16_t> cache_;
};

}  // namespace

void DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette, std::uint8_t* out,
                     const std::function<void(int rowsDone)>& progress) {
    CheckEncodable(image);
    if (palette.empty() || palette.size() > 256) throw EncodeError("GIF: the palette must hold 1 to 256 colours");
    NearestColour nearest(palette);
    const auto w = static_cast<std::size_t>(image.width);
    // Errors in 1/16 units, one spare cell at each end so the edges need no tests.
    std::vector<int> current((w + 2) * 3, 0), next((w + 2) * 3, 0);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y);
        std::uint8_t* row = out + static_cast<std::size_t>(y) * w;
        std::fill(next.begin(), next.end(), 0);
        // A pixel equal to its left neighbour, with no error arriving from anywhere, maps to the
        // same entry and passes on the same error: in flat areas that error is usually zero.
        std::uint32_t lastColour = 0xFFFFFFFF;
        int lastIndex = -1;
        int lastErr[3] = {0, 0, 0};
        for (std::size_t x = 0; x < w; ++x, p += image.bytesPerPixel) {
            int* e = &current[(x + 1) * 3];
            const std::uint32_t colour = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
            int err[3];
            if (colour == lastColour && (e[0] | e[1] | e[2]) == 0 && lastErr[0] == 0 && lastErr[1] == 0 &&
                lastErr[2] == 0) {
                row[x] = static_cast<std::uint8_t>(lastIndex);
                continue;
            }
            const int r = std::clamp(p[2] + (e[0] + 8) / 16, 0, 255);
            const int g = std::clamp(p[1] + (e[1] + 8) / 16, 0, 255);
            const int b = std::clamp(p[0] + (e[2] + 8) / 16, 0, 255);
            const std::uint8_t index = nearest(r, g, b);
            row[x] = index;
            err[0] = r - palette[index].r;
            err[1] = g - palette[index].g;
            err[2] = b - palette[index].b;
            // Only an exact, error-free pixel may start a run of reused entries.
            const bool clean = (e[0] | e[1] | e[2]) == 0;
            lastColour = clean ? colour : 0xFFFFFFFF;
            lastIndex = index;
            std::copy(err, err + 3, lastErr);
            if ((err[0] | err[1] | err[2]) == 0) continue;
            int* below = &next[(x + 1) * 3];
            for (int c = 0; c < 3; ++c) {
                e[3 + c] += err[c] * 7;
                below[c - 3] += err[c] * 3;
                below[c] += err[c] * 5;
                below[c + 3] += err[c];
            }
        }
        std::swap(current, next);
        if (progress) progress(y + 1);
    }
}

std::vector<std::uint8_t> DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette) {
    CheckEncodable(image);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    DitherToPalette(image, palette, out.data(), {});
    return out;
}

}  // namespace tovasen
