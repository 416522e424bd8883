#pragma once
#include <string>

#include "base/errors.h"
#include "image/bitmap.h"

namespace tovasen {

// The clipboard could not be had: another program holds it open. The message is the
// translated notice the user is shown for it.
class EClipboardBusy : public Exception {
public:
    EClipboardBusy();
};

// Put a copy of the bitmap (CF_BITMAP) or a text (CF_UNICODETEXT) on the clipboard. Raise
// EClipboardBusy when the clipboard cannot be had, so the caller decides who is told: a person
// at the keyboard, or the script that asked.
void CopyBitmapToClipboard(TBitmap& bitmap);
void CopyTextToClipboard(const std::wstring& text);
// CopyTextToClipboard for a person's click: a busy clipboard is told in the notice box.
void CopyTextToClipboardOrTell(const std::wstring& text);

// Prints the bitmap on the default printer at the top left of the page, one screen pixel as a
// whole number of printer dots (printer dpi / ppi, at least 1). Raises on any printer error.
void PrintBitmap(TBitmap& bitmap, int ppi);

// The scale factor from screen pixels to printer dots; never 0, so a low-resolution printer
// still prints the picture instead of a blank page.
int PrinterScale(int printerDpi, int ppi);

}  // namespace tovasen
