#include "ocr/ocr_core.h"

#include <algorithm>
#include <cstring>

namespace tovasen {

std::optional<std::size_t> FindLanguage(const TLanguages& available, const TLanguage& wanted) {
    for (std::size_t i = 0; i < available.size(); ++i) {
        const TLanguage& l = available[i];
        if (l.DisplayName == wanted.DisplayName && l.LanguageTag == wanted.LanguageTag &&
            l.NativeName == wanted.NativeName && l.Script == wanted.Script) {
            return i;
        }
    }
    return std::nullopt;
}

TOcrRect ResolveRectangle(int pictureWidth, int pictureHeight, int left, int top, int right, int bottom) {
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        right = pictureWidth;
        bottom = pictureHeight;
    }
    if (left < 0) throw ERtOcrError(L"Incorrect Left value");
    if (top < 0) throw ERtOcrError(L"Incorrect Top value");
    // A right edge at or before the left one would ask the engine for a bitmap of no width.
    if (right < 1 || right > pictureWidth || right <= left) throw ERtOcrError(L"Incorrect Right value");
    if (bottom < 1 || bottom > pictureHeight || bottom <= top) throw ERtOcrError(L"Incorrect Bottom value");
    return {left, top, right, bottom};
}

void PackPixels(const PixelView& picture, const TOcrRect& rect, const TOcrPlane& plane) {
    if (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4) {
        throw ERtOcrError(L"The picture is neither 24 nor 32 bits per pixel");
    }
    if (rect.Left < 0 || rect.Top < 0 || rect.Width() <= 0 || rect.Height() <= 0 || rect.Right > picture.width ||
        rect.Bottom > picture.height) {
        throw ERtOcrError(L"The rectangle lies outside the picture");
    }
    if (plane.Width != rect.Width() || plane.Height != rect.Height()) {
        throw ERtOcrError(L"The bitmap does not have the size of the rectangle");
    }
    const std::size_t rowBytes = static_cast<std::size_t>(rect.Width()) * 4;
    if (!plane.Data || plane.Start < 0 || plane.Stride < 0 || static_cast<std::size_t>(plane.Stride) < rowBytes) {
        throw ERtOcrError(L"The bitmap buffer has an unusable layout");
    }
    // Compared as start + stride * (rows - 1) + row <= capacity, without overflowing.
    const std::size_t start = static_cast<std::size_t>(plane.Start);
    const std::size_t stride = static_cast<std::size_t>(plane.Stride);
    const std::size_t rows = static_cast<std::size_t>(rect.Height());
    if (start > plane.Capacity || plane.Capacity - start < rowBytes) throw ERtOcrError(L"The bitmap buffer is too small");
    const std::size_t room = plane.Capacity - start - rowBytes;  // what is left behind the first row
    if (rows > 1 && room / stride < rows - 1) throw ERtOcrError(L"The bitmap buffer is too small");
    const int bpp = picture.bytesPerPixel;
    for (int y = 0; y < rect.Height(); ++y) {
        const std::uint8_t* src = picture.Row(rect.Top + y) + static_cast<std::ptrdiff_t>(rect.Left) * bpp;
        std::uint8_t* dst = plane.Data + start + static_cast<std::size_t>(y) * stride;
        if (bpp == 4) {
            // Whole rows at once, then the fourth byte: screen pixels carry no alpha, and an
            // engine may take 0 for transparent.
            std::memcpy(dst, src, rowBytes);
            for (std::size_t x = 3; x < rowBytes; x += 4) dst[x] = 0xFF;
            continue;
        }
        for (int x = 0; x < rect.Width(); ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 0xFF;
        }
    }
}

TStatus StatusOf(int platformStatus) noexcept {
    switch (platformStatus) {
    case 1:
        return TStatus::stCompleted;
    case 2:
        return TStatus::stCanceled;
    default:
        return TStatus::stError;
    }
}

TOcrSize EnlargedSize(int width, int height, int maxDimension) noexcept {
    const std::int64_t longest = std::max(width, height);
    if (longest <= 0) return {std::max(1, width), std::max(1, height)};
    if (maxDimension <= 0 || 3 * longest <= maxDimension) return {width * 3, height * 3};
    // In whole numbers, so the longest side lands exactly on the limit.
    auto scale = [&](int side) {
        return std::max(1, static_cast<int>(static_cast<std::int64_t>(side) * maxDimension / longest));
    };
    return {scale(width), scale(height)};
}

std::wstring JoinLines(const TLines& lines) {
    std::wstring text;
    for (const TLine& line : lines) text += line.Text + L"\r\n";
    return text;
}

std::uint64_t TRecognitionGate::Begin() {
    if (FBusy) throw ERtOcrError(L"Recognition already started");
    FBusy = true;
    return ++FCurrent;
}

void TRecognitionGate::Rollback(std::uint64_t ticket) noexcept {
    if (FBusy && ticket == FCurrent) FBusy = false;
}

bool TRecognitionGate::Complete(std::uint64_t ticket) noexcept {
    if (!FBusy || ticket != FCurrent) return false;
    FBusy = false;
    return true;
}

}  // namespace tovasen
