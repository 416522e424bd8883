#pragma once
#include <cstdint>
#include <string>

#include "editor/document.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

// GDI+ for as long as the object lives; painting needs one.
class TGdiplusSession {
public:
    TGdiplusSession();
    TGdiplusSession(const TGdiplusSession&) = delete;
    TGdiplusSession& operator=(const TGdiplusSession&) = delete;
    ~TGdiplusSession();

private:
    std::uintptr_t FToken = 0;
};

// Paints the drawn objects of doc (not the redactions, which are in the picture already) that
// reach into clip, antialiased, and nothing outside clip. An object with id `hidden` is left
// out (the text being typed is shown by its edit field instead).
void PaintObjects(TPixelBuffer& picture, const TDocument& doc, const TBox& clip, std::uint32_t hidden = 0);

// The box a text takes at a font size, placed at its top-left corner `at`.
TBox MeasureTextBox(const std::wstring& text, int fontSize, TPointI at);

// The typeface of text objects and step numbers: Segoe UI, or the nearest one installed.
// Needs GDI+ running.
const std::wstring& TextFaceName();

}  // namespace tovasen
