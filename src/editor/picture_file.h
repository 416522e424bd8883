#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "editor/editable_png.h"
#include "editor/pixel_buffer.h"
#include "image/picture_format.h"

namespace tovasen {

struct TPictureFile {
    TPixelBuffer Pixels;
    TPictureFormat Format = TPictureFormat::Png;
    std::vector<std::uint8_t> Bytes;  // the file as read
};

// Reads a PNG, JPG, BMP, GIF or WebP file. A file that cannot be read, is of another kind, or
// could not be written back without loss (several frames, transparency) raises an Exception
// whose message is for the user.
TPictureFile ReadPictureFile(const std::wstring& path);

// This user's edit store, in the program's local data folder.
TEditStore LocalEditStore();

// Writes a PNG with its objects over path in one step, and the pixels under them into this
// user's edit store. When the store cannot take them the file is still written; it then opens
// flat on this machine too.
void WriteEditablePng(const std::wstring& path, const TFlattened& picture);

// Writes the edited picture over path in format, in one step: a PNG keeps its objects, other
// formats are written flat (JPG and WebP at the quality chosen in the main window).
void WritePictureFile(const std::wstring& path, TPictureFormat format, const TFlattened& picture);

}  // namespace tovasen
