#pragma once
#include <windows.h>

#include <cstdint>

#include "base/handles.h"

namespace tovasen {

enum class TPixelFormat { pfDevice, pf24bit, pf32bit };

// A device context to draw on; owned by the bitmap or window it belongs to.
class TCanvas {
public:
    explicit TCanvas(HDC dc = nullptr) noexcept : FHandle(dc) {}
    HDC Handle() const noexcept { return FHandle; }

private:
    friend class TBitmap;
    HDC FHandle;
};

// A bitmap selected into its own memory DC. 24- and 32-bit bitmaps are top-down DIB sections
// whose rows can be read and written directly; pfDevice is compatible with the screen. Setting
// the format or size it already has reallocates nothing; a real change keeps the picture.
class TBitmap {
public:
    TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    TPixelFormat PixelFormat() const noexcept { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat format);
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    void SetSize(int width, int height);
    bool Empty() const noexcept { return FWidth <= 0 || FHeight <= 0; }

    HBITMAP Handle() const noexcept { return FBitmap.Get(); }
    TCanvas& Canvas() noexcept { return FCanvas; }

    int BitsPerPixel() const noexcept;
    // Bytes from one row to the next (rows are padded to four bytes). DIB formats only.
    int Stride() const noexcept;
    // Row y, top row first. DIB formats only; raises for pfDevice or a row out of range.
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;

private:
    void Reallocate();
    UniqueBitmap CreateBitmap();

    TPixelFormat FPixelFormat = TPixelFormat::pfDevice;
    int FWidth = 0;
    int FHeight = 0;
    UniqueMemoryDC FDC;
    UniqueBitmap FBitmap;
    HGDIOBJ FOldBitmap = nullptr;
    std::uint8_t* FBits = nullptr;
    TCanvas FCanvas;
};

}  // namespace tovasen
