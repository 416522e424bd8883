#pragma once
#include <cstdint>
#include <string>

#include "base/gdiplus_session.h"
#include "editor/document.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

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
