#pragma once
// Driving the editor as a user does: real input through SendInput to its real windows.
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "editor/frm_editor.h"
#include "editor/pixel_buffer.h"
#include "support/input.h"
#include "image/bitmap.h"

namespace tovasen::test {

// A picture where neighbouring pixels all differ: any pixel left over from it can be told.
std::uint32_t SourcePixel(int x, int y);
std::unique_ptr<TBitmap> SourceBitmap(int w, int h);
TPixelBuffer SourcePixels(int w, int h);

// Brings the editor to the front with its canvas focused and lets the X server settle.
void Focus(TFrmEditor& editor);

// Where the box of a rectangle dragged between two picture points is drawn, width s inside it.
bool OnRectangleOutline(int x, int y, POINT a, POINT b, int s);

}  // namespace tovasen::test
