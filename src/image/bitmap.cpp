#include "image/bitmap.h"

#include <exception>

#include "base/errors.h"

namespace tovasen {

TBitmap::TBitmap() : FDC(CreateCompatibleDC(nullptr)) {
    if (!FDC) RaiseLastOSError(L"CreateCompatibleDC");
    FCanvas.FHandle = FDC.Get();
}

TBitmap::~TBitmap() {
    if (FOldBitmap) SelectObject(FDC.Get(), FOldBitmap);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == FPixelFormat) return;
    FPixelFormat = format;
    Reallocate();
}

void TBitmap::SetSize(int width, int height) {
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    Reallocate();
}

int TBitmap::BitsPerPixel() const noexcept {
    switch (FPixelFormat) {
    case TPixelFormat::pf24bit:
        return 24;
    case TPixelFormat::pf32bit:
        return 32;
    default:
        return 0;
    }
}

int TBitmap::Stride() const noexcept { return ((FWidth * BitsPerPixel() + 31) / 32) * 4; }

std::uint8_t* TBitmap::ScanLine(int y) {
    if (!FBits) throw Exception(L"ScanLine: the bitmap has no pixel rows of its own");
    if (y < 0 || y >= FHeight) throw Exception(L"ScanLine: row " + std::to_wstring(y) + L" out of range");
    GdiFlush();  // GDI may still be drawing into the section
    return FBits + static_cast<size_t>(y) * static_cast<size_t>(Stride());
}

const std::uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

void TBitmap::Reallocate() {
    UniqueBitmap fresh;
    std::exception_ptr failure;
    FBits = nullptr;
    if (!Empty()) {
        try {
            fresh = CreateBitmap();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (fresh && FBitmap) {
        // Keep the picture across a change of format or size, as far as it still fits.
        UniqueMemoryDC target(CreateCompatibleDC(FDC.Get()));
        ScopedSelect select(target.Get(), fresh.Get());
        BitBlt(target.Get(), 0, 0, FWidth, FHeight, FDC.Get(), 0, 0, SRCCOPY);
    }
    if (FOldBitmap) SelectObject(FDC.Get(), FOldBitmap);
    FOldBitmap = nullptr;
    FBitmap = std::move(fresh);  // the old bitmap is out of the DC now and can go
    if (FBitmap) FOldBitmap = SelectObject(FDC.Get(), FBitmap.Get());
    if (failure) std::rethrow_exception(failure);
}

UniqueBitmap TBitmap::CreateBitmap() {
    UniqueBitmap bitmap;
    if (FPixelFormat == TPixelFormat::pfDevice) {
        WindowDC screen(nullptr);
        bitmap.Reset(CreateCompatibleBitmap(screen.Get(), FWidth, FHeight));
    } else {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = FWidth;
        info.bmiHeader.biHeight = -FHeight;  // top-down: row 0 is the top row
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(BitsPerPixel());
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        FBits = static_cast<std::uint8_t*>(bits);
    }
    if (!bitmap) {
        const DWORD code = GetLastError();
        const std::wstring what =
            L"Creating a " + std::to_wstring(FWidth) + L" x " + std::to_wstring(FHeight) + L" bitmap";
        FWidth = FHeight = 0;
        throw EOSError(what, code);
    }
    return bitmap;
}

}  // namespace tovasen
