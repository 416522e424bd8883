#include "editor_support.h"

#include <string>

#include "support/input.h"
#include "support/wait.h"

namespace tovasen::test {

std::uint32_t SourcePixel(int x, int y) {
    return 0xFF000000u | (static_cast<std::uint32_t>((x * 7 + y) % 256) << 16) |
           (static_cast<std::uint32_t>((y * 13 + x * 2) % 256) << 8) | static_cast<std::uint32_t>((x * 3 + y * 5) % 256);
}

std::unique_ptr<TBitmap> SourceBitmap(int w, int h) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < w; ++x) row[x] = SourcePixel(x, y);
    }
    return bitmap;
}

TPixelBuffer SourcePixels(int w, int h) {
    TPixelBuffer pixels(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) pixels.At(x, y) = SourcePixel(x, y);
    }
    return pixels;
}

void Focus(TFrmEditor& editor) {
    SetForegroundWindow(editor.Handle());
    SetFocus(editor.Canvas().Handle());
    Settle(300);
}

bool OnRectangleOutline(int x, int y, POINT a, POINT b, int s) {
    const int l = std::min(a.x, b.x), t = std::min(a.y, b.y), r = std::max(a.x, b.x), btm = std::max(a.y, b.y);
    const bool inside = x >= l && x <= r && y >= t && y <= btm;
    const bool core = x >= l + s && x <= r - s && y >= t + s && y <= btm - s;
    return inside && !core;
}

}  // namespace tovasen::test
