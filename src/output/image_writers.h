#pragma once
#include <cstdint>
#include <string>

#include "image/bitmap.h"
#include "image/picture_limits.h"

namespace tovasen {

// The file writers of the save targets. Each writes the whole file or, on failure, raises and
// leaves any earlier file of that name untouched. An existing file is replaced without asking.
void SavePNG(TBitmap& bitmap, const std::wstring& fileName);
void SaveJPG(TBitmap& bitmap, const std::wstring& fileName, std::uint8_t quality);
void SaveGIF(TBitmap& bitmap, const std::wstring& fileName);
void SaveBMP(TBitmap& bitmap, const std::wstring& fileName);
// Converts the bitmap to 32 bits per pixel first. Quality 100 or more is lossless.
void SaveWebP(TBitmap& bitmap, const std::wstring& fileName, int quality);

}  // namespace tovasen
