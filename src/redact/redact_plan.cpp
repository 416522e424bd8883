#include "redact/redact_plan.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace tovasen {
namespace {

// Where each word of a line lies in the text the finder reads, and that text.
struct TLineText {
    std::wstring_view Text;
    std::wstring Joined;  // holds Text when the line's own text could not be used
    std::vector<std::pair<std::size_t, std::size_t>> Spans;  // begin, end per word
};

// The line's own text keeps what the engine put between words (a recogniser may leave the
// space out between ideographs); it is used when every word is found in it, in order.
TLineText TextOf(const TLine& line) {
    TLineText result;
    if (!line.Text.empty()) {
        std::size_t at = 0;
        bool found = true;
        for (const TWord& word : line.Words) {
            const std::size_t begin = word.Text.empty() ? at : line.Text.find(word.Text, at);
            if (begin == std::wstring::npos) {
                found = false;
                break;
            }
            result.Spans.emplace_back(begin, begin + word.Text.size());
            at = begin + word.Text.size();
        }
        if (found) {
            result.Text = line.Text;
            return result;
        }
        result.Spans.clear();
    }
    for (const TWord& word : line.Words) {
        if (!result.Joined.empty()) result.Joined += L' ';
        result.Spans.emplace_back(result.Joined.size(), result.Joined.size() + word.Text.size());
        result.Joined += word.Text;
    }
    result.Text = result.Joined;
    return result;
}

bool Placed(const TSRect& r) {
    return std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Width) && std::isfinite(r.Height) && r.Width > 0 &&
           r.Height > 0;
}

TSRect Union(const TSRect& a, const TSRect& b) {
    const float left = std::min(a.X, b.X), top = std::min(a.Y, b.Y);
    const float right = std::max(a.X + a.Width, b.X + b.Width), bottom = std::max(a.Y + a.Height, b.Y + b.Height);
    return {left, top, right - left, bottom - top};
}

int Clamped(double value, int high) { return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(high))); }

}  // namespace

TRedactPlan PlanRedaction(const TLines& lines, const TSecretFinder& find) {
    TRedactPlan plan;
    for (const TLine& line : lines) {
        const TLineText text = TextOf(line);
        if (text.Text.empty()) continue;
        for (const TSecretMatch& match : find(text.Text)) {
            const std::size_t begin = match.start, end = match.start + match.length;
            bool placed = false;
            TSRect box;
            for (std::size_t i = 0; i < line.Words.size(); ++i) {
                const auto [wordBegin, wordEnd] = text.Spans[i];
                if (wordBegin >= end || begin >= wordEnd || !Placed(line.Words[i].Rect)) continue;
                box = placed ? Union(box, line.Words[i].Rect) : line.Words[i].Rect;
                placed = true;
            }
            if (placed) plan.Boxes.push_back({match.kind, box});
            else ++plan.Unplaced;
        }
    }
    return plan;
}

TCoverRect CoverRect(const TSRect& box, double scaleX, double scaleY, int width, int height) {
    if (!Placed(box) || !(scaleX > 0) || !(scaleY > 0) || width <= 0 || height <= 0) return {};
    const TCoverRect rect{Clamped(std::floor(box.X / scaleX) - 1, width), Clamped(std::floor(box.Y / scaleY) - 1, height),
                          Clamped(std::ceil((static_cast<double>(box.X) + box.Width) / scaleX) + 1, width),
                          Clamped(std::ceil((static_cast<double>(box.Y) + box.Height) / scaleY) + 1, height)};
    return rect.Empty() ? TCoverRect{} : rect;
}

void PaintBlack(const TPixelPlane& picture, const TCoverRect& rect) {
    const int left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
    const int right = std::min(rect.Right, picture.Width), bottom = std::min(rect.Bottom, picture.Height);
    if (!picture.Data || right <= left || bottom <= top) return;
    const int bpp = picture.BytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* pixel = picture.Data + static_cast<std::ptrdiff_t>(y) * picture.Stride + static_cast<std::ptrdiff_t>(left) * bpp;
        for (int x = left; x < right; ++x, pixel += bpp) {
            pixel[0] = pixel[1] = pixel[2] = 0;
            if (bpp == 4) pixel[3] = 0xFF;
        }
    }
}

}  // namespace tovasen
