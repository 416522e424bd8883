#include "select/area_geometry.h"

#include <cwctype>

namespace tovasen {

TRectI AreaCaptureRect(const TRectI& window, int head) noexcept {
    return {window.left + kAreaBorder, window.top + head + kAreaBorder, window.right - kAreaBorder,
            window.bottom - kAreaBorder};
}

int AreaWindowWidth(int captureWidth) noexcept { return captureWidth + 2 * kAreaBorder; }

int AreaWindowHeight(int captureHeight, int head) noexcept { return captureHeight + head + 2 * kAreaBorder; }

void ClampAreaWindowSize(int& width, int& height, int head) noexcept {
    if (width - 2 * kAreaBorder < kAreaMinCapture) width = AreaWindowWidth(kAreaMinCapture);
    if (height - head - 2 * kAreaBorder < kAreaMinCapture) height = AreaWindowHeight(kAreaMinCapture, head);
}

AreaHit AreaHitTest(const AreaHitInput& in) noexcept {
    if (in.y < in.head) return in.overButton ? ahClient : ahCaption;
    if (in.resizeLocked) return ahClient;
    const int column = in.x < kAreaBorder ? 0 : in.x > in.clientWidth - kAreaBorder ? 2 : 1;
    const int row = in.y < in.head + kAreaBorder ? 0 : in.y > in.clientHeight - kAreaBorder ? 2 : 1;
    static constexpr AreaHit kTable[3][3] = {
        {ahTopLeft, ahTop, ahTopRight},
        {ahLeft, ahCaption, ahRight},
        {ahBottomLeft, ahBottom, ahBottomRight},
    };
    return kTable[row][column];
}

TRectI AreaKeyMove(const TRectI& window, AreaKey key, bool shift, bool ctrl, int head) noexcept {
    int left = window.left, top = window.top, width = window.Width(), height = window.Height();
    const int step = shift ? 1 : 10;
    if (shift || ctrl) {
        switch (key) {
        case AreaKey::Up: height -= step; break;
        case AreaKey::Down: height += step; break;
        case AreaKey::Left: width -= step; break;
        case AreaKey::Right: width += step; break;
        }
        ClampAreaWindowSize(width, height, head);
    } else {
        switch (key) {
        case AreaKey::Up: --top; break;
        case AreaKey::Down: ++top; break;
        case AreaKey::Left: --left; break;
        case AreaKey::Right: ++left; break;
        }
    }
    return {left, top, left + width, top + height};
}

bool AreaFitsDesktop(const TRectI& window, const TRectI& desktop) noexcept {
    return desktop.left < window.left && desktop.right > window.right && desktop.top < window.top &&
           desktop.bottom > window.bottom;
}

std::uint32_t DarkenColor(std::uint32_t color, int percent) noexcept {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int c = static_cast<int>((color >> shift) & 0xFF);
        const int darker = c - (c * percent + 50) / 100;
        result |= static_cast<std::uint32_t>(darker) << shift;
    }
    return result;
}

std::uint32_t TAreaPulse::Tick(std::uint32_t baseColor) noexcept {
    const std::uint32_t color = DarkenColor(baseColor, percent);
    if (percent > 40) increasing = false;
    if (percent == 0) increasing = true;
    percent = static_cast<std::uint8_t>(increasing ? percent + 5 : percent - 5);
    return color;
}

int ClampSpin(long long value) noexcept {
    if (value < kSpinMin) return kSpinMin;
    if (value > kSpinMax) return kSpinMax;
    return static_cast<int>(value);
}

int ParseSpinText(std::wstring_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const std::size_t digitsStart = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        // Past the maximum the exact number no longer matters: stop before it can overflow.
        if (value <= kSpinMax) value = value * 10 + (text[i] - L'0');
    }
    const bool hasDigits = i > digitsStart;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    if (!hasDigits || i != text.size()) return kSpinMin;
    return ClampSpin(negative ? -value : value);
}

std::wstring FormatAreaSize(int width, int height) {
    return std::to_wstring(width) + L"x" + std::to_wstring(height);
}

}  // namespace tovasen
