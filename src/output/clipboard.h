#pragma once
#include <string>

#include "ui/bitmap.h"

namespace tovasen {

// Put a copy of the bitmap (CF_BITMAP) or a text (CF_UNICODETEXT) on the clipboard. They never
// raise: when the clipboard cannot be had (another program holds it) the user is told once.
void CopyBitmapToClipboard(TBitmap& bitmap);
void CopyTextToClipboard(const std::wstring& text);

// Prints the bitmap on the default printer at the top left of the page, one screen pixel as a
// whole number of printer dots (printer dpi / ppi, at least 1). Raises on any printer error.
void PrintBitmap(TBitmap& bitmap, int ppi);

// The scale factor from screen pixels to printer dots; never 0, so a low-resolution printer
// still prints the picture instead of a blank page.
int PrinterScale(int printerDpi, int ppi);

}  // namespace tovasen
