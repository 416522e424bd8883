#pragma once
#include <memory>
#include <string>

#include "image/bitmap.h"

namespace tovasen {

// Reads an image file the program writes (PNG, JPG, GIF, BMP through GDI+; WebP through the
// libwebp.dll beside the program) into a new 32-bit bitmap. Raises an Exception that names
// the file when it cannot be read.
std::unique_ptr<TBitmap> LoadPictureFile(const std::wstring& path);

// True for the file types LoadPictureFile reads, by extension.
bool IsPictureFile(const std::wstring& path);

}  // namespace tovasen
