#pragma once
#include <memory>
#include <string>

#include "image/bitmap.h"

namespace tovasen {

// Reads a picture file with one of the names IsPictureFile knows into a new 32-bit bitmap (the
// first frame of an animation). Raises an Exception for the user that names the file when it
// cannot be read.
std::unique_ptr<TBitmap> LoadPictureFile(const std::wstring& path);

// True for the file types LoadPictureFile reads, by extension.
bool IsPictureFile(const std::wstring& path);

}  // namespace tovasen
