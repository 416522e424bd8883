#pragma once
#include "editor/editor_tools.h"

namespace tovasen {

// The editor's remembered choices. Every registry name the editor uses is in editor_settings.cpp,
// so they move into the program's settings table in one step.

// Colour and size of a tool as last chosen; its default (red, 3 px) until then. Values out of
// range read as the default.
TToolStyle LoadToolStyle(TTool tool);
void SaveToolStyle(TTool tool, const TToolStyle& style);
TTool LoadLastTool();
void SaveLastTool(TTool tool);

// The quality of the main window's JPG and WebP lists (90 when unset), for writing a file back
// in its own format.
int SavedJpegQuality();
int SavedWebPQuality();

}  // namespace tovasen
