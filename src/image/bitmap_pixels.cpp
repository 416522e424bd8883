#include "image/bitmap_pixels.h"

#include <windows.h>

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {

BitmapPixels::BitmapPixels(TBitmap& bitmap) {
    if (bitmap.Empty()) {
        throw Exception(L"Cannot save an empty image (" + std::to_wstring(bitmap.Width()) + L" x " +
                        std::to_wstring(bitmap.Height()) + L" pixels).");
    }
    if (bitmap.PixelFormat() != TPixelFormat::pfDevice) {
        FView = PixelView{bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.Stride(),
                          bitmap.BitsPerPixel() / 8};
        return;
    }
    // GetDIBits wants the bitmap out of every DC; copying it into a DIB section does not.
    WindowDC screen(nullptr);
    FCopy = std::make_unique<TBitmap>();
    FCopy->SetPixelFormat(GetDeviceCaps(screen.Get(), BITSPIXEL) >= 32 ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    FCopy->SetSize(bitmap.Width(), bitmap.Height());
    if (!BitBlt(FCopy->Canvas().Handle(), 0, 0, bitmap.Width(), bitmap.Height(), bitmap.Canvas().Handle(), 0, 0,
                SRCCOPY)) {
        RaiseLastOSError(L"BitBlt");
    }
    FView = PixelView{FCopy->ScanLine(0), FCopy->Width(), FCopy->Height(), FCopy->Stride(), FCopy->BitsPerPixel() / 8};
}

}  // namespace tovasen
